#include "scripted_service.h"
#include "../foundation/reactor/reactor_test_support.h"

#include "server/ctrl_server.h"
#include "server/heart_beat_ctl.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

namespace {

using reactortest::CaptureStream;
using Strings = std::vector<std::string>;

// The heartbeat bound first, as start-up binds it, with a service behind it.
class Heartbeat : public reactortest::ReactorTest {
protected:
    Heartbeat()
    {
        server.Bind(HeartBeatCtl::instance());
        server.Bind(&behind);
        CaptureStream quiet(std::clog);
        server.Activate(new testsupport::PairConnection(peer));
    }
    ~Heartbeat() override
    {
        server.Deactivate();
        HeartBeatCtl::instance()->server = nullptr;
        close(peer);
    }

    void deliver(const std::string& message)
    {
        std::vector<char> bytes = testsupport::encode(message);
        server.OnMessage(bytes.data(), static_cast<int>(bytes.size()));
    }

    // Moves the clock on by the given seconds and lets the reactor run for a moment.
    void pass_seconds(int seconds)
    {
        offset_us += int64_t{seconds} * 1000000;
        Mux::set_clock_offset_for_tests(offset_us);
        Timer stop;
        stop.set(100, &Heartbeat::stop_reactor, this);
        run_guarded();
    }

    size_t timeouts() const
    {
        std::string text = debug.text();
        size_t count = 0;
        for (size_t at = 0; (at = text.find("heartbeat timeout!!!\n", at)) != std::string::npos; ++at)
            ++count;
        return count;
    }

    // Reads past what the server sent: whether its end of the connection is closed.
    bool peer_closed()
    {
        char buffer[256];
        ssize_t length;
        while ((length = recv(peer, buffer, sizeof buffer, MSG_DONTWAIT)) > 0) {
        }
        return length == 0;
    }

    CtrlSrv::Server server;
    servertest::ScriptedService behind;
    int peer = -1;
    CaptureStream debug{std::clog};

private:
    void stop_reactor() { multiplexer.terminate(); }

    int64_t offset_us = 0;
};

TEST_F(Heartbeat, ASilentControllerIsDroppedOnlyAfterItsFirstCommand)
{
    pass_seconds(200);
    EXPECT_FALSE(peer_closed());

    // The heartbeat answers ping; any other command passes on and is still a sign of life.
    deliver("{ seq 5, pdu command : query : NULL }");
    pass_seconds(100);
    deliver("{ seq 4, pdu command : ping : NULL }");
    EXPECT_EQ(testsupport::received(peer), (Strings{"{ seq 5, pdu response : error : unexpectedMsgType }",
                                                    "{ seq 4, pdu response : success : NULL }"}));
    EXPECT_EQ(behind.events, (Strings{"connect", "command 0"}));
    pass_seconds(100);
    EXPECT_FALSE(peer_closed());
    EXPECT_EQ(timeouts(), 0u);

    pass_seconds(21);
    EXPECT_EQ(timeouts(), 1u);
    EXPECT_TRUE(peer_closed());
    EXPECT_EQ(behind.events.back(), "disconnect");

    // Idle again: no second drop without a new command.
    pass_seconds(200);
    EXPECT_EQ(timeouts(), 1u);
}

TEST_F(Heartbeat, ADisconnectStopsTheWatch)
{
    deliver("{ pdu command : ping : NULL }");
    server.Deactivate();
    pass_seconds(200);
    EXPECT_EQ(timeouts(), 0u);
}

}  // namespace
