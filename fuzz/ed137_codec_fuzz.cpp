// Fuzz target: ED-137 header-extension payloads as they come from the network, decoded in the tx
// and in the rx form. Beyond "no crash, no sanitizer report": a record that decodes packs again,
// and what it packs decodes to the same record.

#include "slots/rtp/r2s_proto.h"

#include <cstdlib>
#include <cstring>

namespace {

void round_trip(int (*unpack)(r2s_proto*, const unsigned char*, int), const uint8_t* data, int size)
{
    r2s_proto read{}, again{};
    if (unpack(&read, data, size) != 0)
        return;
    unsigned char packed[1024];
    const int length = r2s_proto_pack(&read, packed, sizeof packed);
    if (length < 4 || unpack(&again, packed, length) != 0 || std::memcmp(&read, &again, sizeof read) != 0)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int length = static_cast<int>(size < 1024 ? size : 1024);
    round_trip(r2s_proto_unpack_tx, data, length);
    round_trip(r2s_proto_unpack_rx, data, length);
    return 0;
}
