// Portslave's records as the authentication server cuts them from a connection's stream (the
// whole connection, with the daemon, is the system tests').

#include "slots/auth_record_stream.h"

#include "foundation/os/big_endian.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes record(uint32_t length, uint8_t fill)
{
    Bytes bytes(length, fill);
    BigEndian::put_u32(bytes.data(), 0, length);
    return bytes;
}

TEST(AuthRecordReader, RecordsComeOutWholeAndInOrderHoweverTheStreamIsCutUpToALengthOutside4To512)
{
    authtest::Records records{record(140, 1), record(4, 0), record(11, 2), record(512, 3), record(64, 4)};
    for (uint32_t bad : {0u, 3u, 513u, 0xFFFFFFFFu}) {
        Bytes stream = record(8, 5);
        BigEndian::put_u32(stream.data(), 0, bad);
        for (auto one = records.rbegin(); one != records.rend(); ++one)
            stream.insert(stream.begin(), one->begin(), one->end());
        for (size_t piece : {1, 3, 7, 140, 4096}) {
            bool stopped = false;
            EXPECT_EQ(authtest::cut(stream.data(), stream.size(), piece, &stopped), records) << "pieces of " << piece;
            EXPECT_TRUE(stopped) << bad;
        }
    }
}

}  // namespace
