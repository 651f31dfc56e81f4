#include "foundation/os/big_endian.h"
#include "board/device_names.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sstream>

namespace {

TEST(DeviceNames, CodecNamesCoverTheTableAndNothingElse)
{
    EXPECT_STREQ(GetCodecAsStr(0), "unknown");
    EXPECT_STREQ(GetCodecAsStr(4), "tonec");
    EXPECT_STREQ(GetCodecAsStr(8), "conf");
    EXPECT_STREQ(GetCodecAsStr(9), "invalid");
    EXPECT_STREQ(GetCodecAsStr(-1), "invalid");
}

TEST(DeviceNames, RtpErrKeepsTheErrorOfItsConstruction)
{
    errno = ENODEV;
    RtpErr error(17);
    errno = 0;
    std::ostringstream text;
    error.Put(text);
    EXPECT_EQ(text.str(), std::strerror(ENODEV));
}

// Each driver record as its printer shows it.
template <class Record>
std::string printed(const Record& record)
{
    std::ostringstream text;
    text << record;
    return text.str();
}

TEST(DeviceNames, PrintersShowTheFieldsAtTheirOffsets)
{
    rtp_connection_params connection;
    BigEndian::put_u16(connection.bytes.data(), 14, 8);
    BigEndian::put_u16(connection.bytes.data(), 16, 0);
    BigEndian::put_u16(connection.bytes.data(), 18, 2);
    BigEndian::put_u32(connection.bytes.data(), 24, 0xDEADBEEF);
    EXPECT_EQ(printed(connection), "  rtp_connection_params\n  {\n   packet_factor = 2\n   rx_pt = 8\n   tx_pt = 0\n"
                                   "   ssrc = 3735928559\n  }\n");

    rtp_channel_info info;
    BigEndian::put_i32(info.bytes.data(), 0, 8200);
    BigEndian::put_i32(info.bytes.data(), 4, 1);
    BigEndian::put_i32(info.bytes.data(), 8, -1);
    EXPECT_EQ(printed(info), "rtp_channel_info { tdm=8200 dev_no=1 chn=-1 }");

    rtp_ext_attach_session_params attach;
    BigEndian::put_i32(attach.bytes.data(), 0, 12);
    BigEndian::put_u32(attach.bytes.data(), 4, 0xFFFFFFFF);
    EXPECT_EQ(printed(attach), "  rtp_ext_attach_session_params\n  {\n   fd_rtp = 12\n   pid_rtp = -1\n  }\n");
    EXPECT_EQ(printed(rtp_attach_session_params()),
              "  rtp_attach_session_params\n  {\n   fd_rtp = 0\n   pid_rtp = 0\n  }\n");

    rtp_ext_init_params init;
    BigEndian::put_u16(init.bytes.data(), 0, 0x1337);
    EXPECT_EQ(printed(init), "  rtp_ext_init_params\n  {\n   etype = 4919\n  }\n");
}

}  // namespace
