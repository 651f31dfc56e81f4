#pragma once

// An RTP session begun on the emulated driver with one channel added, as a radio factory has it
// when it builds its slot, and the record that attaches an extension session to it.

#include "foundation/os/big_endian.h"
#include "foundation/os/device.h"
#include "slots/rtp/rtp_driver.h"

#include <gtest/gtest.h>

#include <fcntl.h>

namespace slottest {

struct RtpSession {
    RtpSession()
    {
        EXPECT_GE(RtpDriver::Begin(session, params), 0);
        channel = RtpDriver::AddChannel(session, RtpDriver::any_channel, 0);
        BigEndian::put_u32(attach.bytes.data(), 0, session.get());
        BigEndian::put_u32(attach.bytes.data(), 4, 0xFFFFFFFF);
    }

    rtp_connection_params params;
    Fd session = Device::open("/dev/rtp", O_RDONLY | O_NONBLOCK);
    int channel = -1;
    rtp_ext_attach_session_params attach;
};

}  // namespace slottest
