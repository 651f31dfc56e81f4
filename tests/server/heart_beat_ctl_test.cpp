#include "server_harness.h"

#include "foundation/reactor/clock.h"
#include "server/heart_beat_ctl.h"

#include <gtest/gtest.h>

#include <sys/socket.h>

namespace {

using servertest::Strings;

// The heartbeat bound first, as start-up binds it, with a service behind it; the clock is the
// test's.
class Heartbeat : public reactortest::ReactorTest {
protected:
    // Moves the clock on and lets whatever is due happen.
    void pass_seconds(int seconds)
    {
        offset_us += int64_t{seconds} * 1000000;
        Mux::set_clock_offset_for_tests(offset_us);
        testsupport::run_reactor_for(50);
    }

    size_t drops() const
    {
        std::string text = debug.text();
        size_t count = 0;
        for (size_t at = 0; (at = text.find("heartbeat timeout!!!\n", at)) != std::string::npos; ++at)
            ++count;
        return count;
    }

    // Whether the server's end of the connection is closed, read past what it sent.
    bool dropped()
    {
        char buffer[256];
        ssize_t length;
        while ((length = recv(controller.peer, buffer, sizeof buffer, MSG_DONTWAIT)) > 0) {
        }
        return length == 0;
    }

    reactortest::CaptureStream debug{std::clog};
    servertest::ScriptedService behind;
    servertest::ServerHarness controller{HeartBeatCtl::instance(), &behind};
    int64_t offset_us = 0;
};

TEST_F(Heartbeat, AControllerIsDroppedAt120SecondsOfSilenceAfterItsFirstCommand)
{
    // Nothing sent yet: no watch.
    pass_seconds(200);
    EXPECT_FALSE(dropped());

    // The heartbeat answers ping; any other command passes on and is a sign of life all the same.
    controller.deliver("{ seq 5, pdu command : query : NULL }");
    pass_seconds(100);
    controller.deliver("{ seq 4, pdu command : ping : NULL }");
    EXPECT_EQ(controller.received(), (Strings{"{ seq 5, pdu response : error : unexpectedMsgType }",
                                              "{ seq 4, pdu response : success : NULL }"}));
    EXPECT_EQ(behind.events, (Strings{"connect", "command 0"}));
    pass_seconds(100);
    EXPECT_FALSE(dropped());
    EXPECT_EQ(drops(), 0u);

    // The connection goes at once, not after some keep-alive.
    pass_seconds(21);
    EXPECT_EQ(drops(), 1u);
    EXPECT_TRUE(dropped());
    // Its end stops the watch, as any disconnect does.
    EXPECT_EQ(behind.events.back(), "disconnect");
    pass_seconds(200);
    EXPECT_EQ(drops(), 1u);
}

}  // namespace
