#include "foundation/control/connector_net.h"
#include "control_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using controltest::LineLog;
using controltest::Receiver;
using controltest::tpkt_frame;
using testing::Each;
using State = Control::Service::State;
using Strings = std::vector<std::string>;

// The reactor clock runs this much ahead per real millisecond, and a retry may come this much
// later than its delay (clock steps plus a loaded machine).
constexpr unsigned warp_ms = 100;
constexpr int32_t slack_ms = 1000;
constexpr unsigned limit_ms = 60000;

class ConnectorNetTest : public controltest::ControlTest {
protected:
    void TearDown() override
    {
        close(server);
        ControlTest::TearDown();
    }

    // Delays between consecutive lines.
    static std::vector<int32_t> gaps(const std::vector<LineLog::Line>& lines)
    {
        std::vector<int32_t> result;
        for (size_t i = 1; i < lines.size(); ++i)
            result.push_back(int32_t(lines[i].ms - lines[i - 1].ms));
        return result;
    }
    static void expect_gap(int32_t gap, int32_t delay, size_t index)
    {
        EXPECT_GE(gap, delay) << "retry " << index;
        EXPECT_LT(gap, delay + slack_ms) << "retry " << index;
    }

    // Bound but not listening: connections to it are refused until it listens.
    int server = controltest::bound_socket();
    uint16_t port = controltest::local_port(server);
    std::string target = "127.0.0.1:" + std::to_string(port);
    Receiver receiver;
};

TEST_F(ConnectorNetTest, RetriesWithoutLeakingThenConnectsAndReconnectsAfterALoss)
{
    LineLog out(std::cout);
    LineLog errors(std::cerr);
    const std::string failure = "fail to connect to " + target;
    std::vector<int> descriptors;
    errors.on_line = [&](const LineLog::Line& line) {
        if (line.text == failure)
            descriptors.push_back(controltest::open_descriptors());
    };
    Control::ConnectorNet connector("127.0.0.1", port);
    connector.Bind(&receiver);
    ASSERT_TRUE(connector.Activate());

    // On loopback the refusal shows as an error event: seven fast retries, then every 15 s.
    ASSERT_TRUE(run_until([&] { return errors.count(failure) == 20; }, limit_ms, warp_ms));
    EXPECT_EQ(errors.texts(), Strings(20, failure));
    const std::vector<int32_t> retries = gaps(errors.matching(failure));
    for (size_t i = 0; i < retries.size(); ++i)
        expect_gap(retries[i], i < 7 ? 1000 : 15000, i);
    EXPECT_THAT(descriptors, Each(descriptors.front()));
    EXPECT_EQ(connector.state(), State::Connecting);
    EXPECT_EQ(receiver.connects, 0);

    ASSERT_EQ(listen(server, 1), 0);
    const std::string connected = "connected to " + target + ".";
    ASSERT_TRUE(run_until([&] { return receiver.connects == 1; }, limit_ms, warp_ms));
    EXPECT_EQ(out.texts(), Strings{connected});
    expect_gap(int32_t(out.lines()[0].ms - errors.lines().back().ms), 15000, 20);
    EXPECT_EQ(connector.state(), State::Connected);
    EXPECT_EQ(connector.connection_name(), target);

    const int accepted = accept4(server, nullptr, nullptr, SOCK_CLOEXEC);
    ASSERT_GE(accepted, 0);
    connector.Send("ping", 4);
    EXPECT_EQ(controltest::read_some(accepted), tpkt_frame("ping"));
    controltest::write_all(accepted, tpkt_frame("pong"));
    ASSERT_TRUE(run_until([&] { return receiver.messages.size() == 1; }));
    EXPECT_EQ(receiver.messages, Strings{"pong"});

    // The peer goes away: the next attempt comes 10 s after the end, and the listener takes it.
    close(accepted);
    ASSERT_TRUE(run_until([&] { return receiver.connects == 2; }, limit_ms, warp_ms));
    const std::string closed = "control connection " + target + " closed.";
    ASSERT_EQ(errors.count(closed), 1u);
    ASSERT_EQ(out.count(connected), 2u);
    expect_gap(int32_t(out.lines()[1].ms - errors.matching(closed)[0].ms), 10000, 21);
    EXPECT_EQ(receiver.events, (Strings{"connect", "message", "disconnect", "connect"}));
}

TEST_F(ConnectorNetTest, AddressThatDoesNotParseIsRetriedNeverTakenAsAnyAddress)
{
    // Never tried as 0.0.0.0, which would reach the listener on every local address: reported
    // and retried like a refused connect, seven times fast, then every 20 s.
    ASSERT_EQ(listen(server, 4), 0);
    LineLog errors(std::cerr);
    const std::string text = "localhost:" + std::to_string(port);
    Control::ConnectorNet connector(text);
    ASSERT_TRUE(connector.Activate());
    const std::string failure = "can't connect to " + text + " : invalid address";
    ASSERT_TRUE(run_until([&] { return errors.count(failure) == 10; }, limit_ms, warp_ms));
    EXPECT_EQ(errors.texts(), Strings(10, failure));
    const std::vector<int32_t> retries = gaps(errors.lines());
    for (size_t i = 0; i < retries.size(); ++i)
        expect_gap(retries[i], i < 7 ? 1000 : 20000, i);
    EXPECT_EQ(connector.state(), State::Connecting);
    ASSERT_TRUE(NonBlockMode(server));
    EXPECT_LT(accept4(server, nullptr, nullptr, SOCK_CLOEXEC), 0);
}

TEST_F(ConnectorNetTest, DeactivateStopsTheRetriesAndFreesTheSocket)
{
    LineLog errors(std::cerr);
    const int before = controltest::open_descriptors();
    Control::ConnectorNet connector("127.0.0.1", port);
    connector.Bind(&receiver);
    ASSERT_TRUE(connector.Activate());
    ASSERT_TRUE(run_until([&] { return errors.lines().size() == 2; }, limit_ms, warp_ms));

    connector.Deactivate();
    EXPECT_EQ(connector.state(), State::Idle);
    EXPECT_EQ(controltest::open_descriptors(), before);
    const uint32_t stopped = Mux::milliseconds();
    ASSERT_TRUE(run_until([&] { return int32_t(Mux::milliseconds() - stopped) > 30000; }, limit_ms, warp_ms));
    EXPECT_EQ(errors.lines().size(), 2u);
    EXPECT_EQ(receiver.events, Strings{});
}

}  // namespace
