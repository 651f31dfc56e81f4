// Fuzz target: the records portslave sends the authentication server, as a connection's stream is
// cut into records and their fields are read. The first byte picks a piece size from 1 to 64, as
// the reads of a connection may return; the rest is the stream. Cutting stops at the first length
// word outside 4 to 512, where the server drops the connection.
//
// Beyond "no crash, no sanitizer report": every record holds the length its length word gives;
// the records do not depend on how the stream is cut (pieces of the picked size, single bytes, as
// much as the reader takes at once); and the texts of an authentication request stay within
// their fields.

#include "slots/auth_record_stream.h"
#include "slots/circuit/auth_record.h"

#include "foundation/os/big_endian.h"

#include <cstdlib>

namespace {

using authtest::cut;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t piece = data[0] % 64 + 1;
    authtest::Records records = cut(data + 1, size - 1, piece);
    require(cut(data + 1, size - 1, 1) == records);
    require(cut(data + 1, size - 1, attr::max_length) == records);
    for (const std::vector<uint8_t>& bytes : records) {
        require(BigEndian::get_u32(bytes.data(), 0) == bytes.size());
        if (bytes.size() == voauth::length) {
            attr record(bytes.data(), bytes.size());
            require(voauth(record).username().size() <= 64 && voauth(record).password().size() <= 64);
        }
    }
    return 0;
}
