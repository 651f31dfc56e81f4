// Fuzz target: a received LEMZ header-extension payload, as the LEMZ radio control unpacks it, then
// printed in every mode.
//
// Beyond "no crash, no sanitizer report": a refused payload is short or of an unknown type; a
// decoded one packs again into no more than its own length padded to a word, with the same header
// octets, and that packet unpacks to a record that prints the same.

#include "slots/rtp/sig_proto_print.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto require = [](bool condition) { condition ? void() : std::abort(); };
    const int length = int(std::min<size_t>(size, INT_MAX));
    sig_proto record{}, again{};
    const int result = sig_proto_unpack(&record, data, length);
    static char text[8192];
    for (int mode : {0, 1, 2, 4, 6})
        sprintf_sig_proto(text, sizeof text, &record, mode);
    if (result != 0) {
        require(result == SIG_PROTO_SHORT || result == SIG_PROTO_UNKNOWN_TYPE);
        return 0;
    }
    uint8_t packed[1024];
    const int packed_length = sig_proto_pack(&record, packed, sizeof packed);
    require(packed_length >= 4 && packed_length <= ((length + 3) & ~3) && std::memcmp(packed, data, 4) == 0);
    require(sig_proto_unpack(&again, packed, packed_length) == 0 && cmp_sig_proto(&record, &again) == 0);
    return 0;
}
