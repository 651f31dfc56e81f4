#include "board/device_names.h"

#include "foundation/os/big_endian.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sstream>

namespace {

// The board paths, the codec names and the RTP driver records' printers, which the slots use in
// their diagnostics.

TEST(DeviceNames, EveryDeviceHasItsBoardPathAndCodecNamesCoverTheTableOnly)
{
    EXPECT_STREQ(GetVoiceDevName(), "/dev/voice");
    EXPECT_STREQ(GetMixerDevName(), "/dev/mixer");
    EXPECT_STREQ(GetDTMFDevName(), "/dev/dtmf");
    EXPECT_STREQ(GetDSPDevName(), "/dev/dsp");
    EXPECT_STREQ(GetRtpDevName(), "/dev/rtp");
    EXPECT_STREQ(GetRtpExtDevName(), "/dev/rtp_ext");
    EXPECT_STREQ(GetModemDevName(), "/dev/mctl");
    EXPECT_STREQ(GetMaintenance(), "/dev/maintenance");
    EXPECT_STREQ(GetSpiTdmDevName(), "/dev/spi_tdm");
    EXPECT_STREQ(GetUsbTdmDevName(), "/dev/usb_tdm");
    EXPECT_STREQ(GetCodecAsStr(0), "unknown");
    EXPECT_STREQ(GetCodecAsStr(4), "tonec");
    EXPECT_STREQ(GetCodecAsStr(6), "g729-rtp");
    EXPECT_STREQ(GetCodecAsStr(8), "conf");
    EXPECT_STREQ(GetCodecAsStr(9), "invalid");
    EXPECT_STREQ(GetCodecAsStr(-1), "invalid");
}

TEST(DeviceNames, RtpErrKeepsTheErrorOfItsConstruction)
{
    errno = ENODEV;
    RtpErr error(17);
    errno = 0;
    EXPECT_EQ(error.saved_errno, ENODEV);
    EXPECT_EQ(error.code, 17);
    std::ostringstream text;
    error.Put(text);
    EXPECT_EQ(text.str(), std::strerror(ENODEV));
}

TEST(DeviceNames, PrintersShowTheFieldsAtTheirOffsets)
{
    rtp_connection_params connection;
    BigEndian::put_u16(connection.bytes.data(), 14, 8);
    BigEndian::put_u16(connection.bytes.data(), 16, 0);
    BigEndian::put_u16(connection.bytes.data(), 18, 2);
    BigEndian::put_u32(connection.bytes.data(), 24, 0xDEADBEEF);
    std::ostringstream text;
    text << connection;
    EXPECT_EQ(text.str(),
              "  rtp_connection_params\n  {\n   packet_factor = 2\n   rx_pt = 8\n   tx_pt = 0\n"
              "   ssrc = 3735928559\n  }\n");

    rtp_channel_info info;
    BigEndian::put_i32(info.bytes.data(), 0, 8200);
    BigEndian::put_i32(info.bytes.data(), 4, 1);
    BigEndian::put_i32(info.bytes.data(), 8, -1);
    text.str("");
    text << info;
    EXPECT_EQ(text.str(), "rtp_channel_info { tdm=8200 dev_no=1 chn=-1 }");

    rtp_ext_attach_session_params attach;
    BigEndian::put_i32(attach.bytes.data(), 0, 12);
    BigEndian::put_u32(attach.bytes.data(), 4, 0xFFFFFFFF);
    text.str("");
    text << attach;
    EXPECT_EQ(text.str(), "  rtp_ext_attach_session_params\n  {\n   fd_rtp = 12\n   pid_rtp = -1\n  }\n");

    rtp_attach_session_params plain;
    text.str("");
    text << plain;
    EXPECT_EQ(text.str(), "  rtp_attach_session_params\n  {\n   fd_rtp = 0\n   pid_rtp = 0\n  }\n");

    rtp_ext_init_params init;
    BigEndian::put_u16(init.bytes.data(), 0, 0x1337);
    text.str("");
    text << init;
    EXPECT_EQ(text.str(), "  rtp_ext_init_params\n  {\n   etype = 4919\n  }\n");
}

}  // namespace
