#include "foundation/control/acceptor_net.h"
#include "foundation/control/acceptor_net_check_connection.h"
#include "control_test_support.h"

#include <gtest/gtest.h>

namespace {

using reactortest::CaptureStream;

TEST(ControlService, SendWithoutAConnectionIsIgnoredWithALine)
{
    const uint16_t port = controltest::free_port();
    Control::AcceptorNet never_activated(port);
    Control::AcceptorNet quiet(port, false);
    {
        CaptureStream errors(std::cerr);
        never_activated.Send("abc", 3);
        quiet.Send("abc", 3);
        EXPECT_EQ(errors.text(), "Control::Service::Send() ignore Send request in Idle state.\n");
    }

    Control::AcceptorNetCheckConnection listening(port);
    ASSERT_TRUE(listening.Activate());
    CaptureStream errors(std::cerr);
    listening.Send("abc", 3);
    EXPECT_EQ(errors.text(), "Control::Service::Send() ignore Send request in Connecting state.\n");
    listening.Deactivate();
}

}  // namespace
