#include "foundation/control/connector_net.h"
#include "control_test_support.h"

#include <gmock/gmock.h>

namespace {

using namespace controltest;
using State = Control::Service::State;

// The reactor clock runs this much ahead per real millisecond, and a retry may come this much
// later than its delay (clock steps plus a loaded machine).
constexpr unsigned warp_ms = 100;
constexpr int32_t slack_ms = 1000;
constexpr unsigned limit_ms = 60000;

class ConnectorNetTest : public ControlTest {
protected:
    void TearDown() override
    {
        close(server);
        ControlTest::TearDown();
    }

    // Expects the delays between consecutive times: fast ones of 1 s, then slow ones.
    static void expect_retries(const std::vector<uint32_t>& times, size_t fast, int32_t slow)
    {
        for (size_t i = 1; i < times.size(); ++i) {
            const int32_t delay = i <= fast ? 1000 : slow, gap = int32_t(times[i] - times[i - 1]);
            EXPECT_GE(gap, delay) << "retry " << i;
            EXPECT_LT(gap, delay + slack_ms) << "retry " << i;
        }
    }

    // Bound but not listening: connections to it are refused until it listens.
    int server = bound_socket();
    uint16_t port = local_port(server);
    std::string target = "127.0.0.1:" + std::to_string(port);
    Receiver receiver;
};

TEST_F(ConnectorNetTest, RetriesWithoutLeakingConnectsReconnectsAfterALossAndFreesItAllOnDeactivate)
{
    LineLog out(std::cout), errors(std::cerr);
    const size_t before = open_descriptors();
    const std::string failure = "fail to connect to " + target;
    std::vector<size_t> descriptors;
    errors.on_line = [&](const LineLog::Line& line) {
        if (line.text == failure)
            descriptors.push_back(open_descriptors());
    };
    Control::ConnectorNet connector("127.0.0.1", port);
    connector.Bind(&receiver);
    ASSERT_TRUE(connector.Activate());

    // On loopback the refusal shows as an error event: seven fast retries, then every 15 s.
    ASSERT_TRUE(run_until([&] { return errors.count(failure) == 20; }, limit_ms, warp_ms));
    EXPECT_EQ(errors.texts(), Strings(20, failure));
    expect_retries(errors.times(failure), 7, 15000);
    EXPECT_THAT(descriptors, testing::Each(descriptors.front()));
    EXPECT_EQ(connector.state(), State::Connecting);

    ASSERT_EQ(listen(server, 1), 0);
    const std::string connected = "connected to " + target + ".";
    ASSERT_TRUE(run_until([&] { return receiver.connects == 1; }, limit_ms, warp_ms));
    EXPECT_EQ(out.texts(), Strings{connected});
    expect_retries({errors.lines.back().ms, out.lines[0].ms}, 0, 15000);
    EXPECT_EQ(connector.state(), State::Connected);
    EXPECT_EQ(connector.connection_name(), target);

    const int accepted = accept4(server, nullptr, nullptr, SOCK_CLOEXEC);
    ASSERT_GE(accepted, 0);
    connector.Send("ping", 4);
    EXPECT_EQ(read_some(accepted), tpkt_frame("ping"));
    write_all(accepted, tpkt_frame("pong"));
    ASSERT_TRUE(run_until([&] { return receiver.messages.size() == 1; }));
    EXPECT_EQ(receiver.messages, Strings{"pong"});

    // The peer goes away: the next attempt comes 10 s after the end, and the listener takes it.
    close(accepted);
    ASSERT_TRUE(run_until([&] { return receiver.connects == 2; }, limit_ms, warp_ms));
    const std::string closed = "control connection " + target + " closed.";
    ASSERT_EQ(errors.count(closed), 1u);
    ASSERT_EQ(out.count(connected), 2u);
    expect_retries({errors.times(closed)[0], out.lines[1].ms}, 0, 10000);
    EXPECT_EQ(receiver.events, (Strings{"connect", "message", "disconnect", "connect"}));

    // Deactivated, it drops the connection without a word and frees its socket.
    connector.Deactivate();
    EXPECT_EQ(connector.state(), State::Idle);
    EXPECT_EQ(open_descriptors(), before);
    EXPECT_EQ(receiver.events.size(), 4u);
}

TEST_F(ConnectorNetTest, AddressThatDoesNotParseIsRetriedUntilDeactivatedNeverTakenAsAnyAddress)
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
    expect_retries(errors.times(failure), 7, 20000);
    EXPECT_EQ(connector.state(), State::Connecting);
    ASSERT_TRUE(NonBlockMode(server));
    EXPECT_LT(accept4(server, nullptr, nullptr, SOCK_CLOEXEC), 0);

    // Deactivated, it tries no more.
    connector.Deactivate();
    EXPECT_EQ(connector.state(), State::Idle);
    const uint32_t stopped = Mux::milliseconds();
    ASSERT_TRUE(run_until([&] { return int32_t(Mux::milliseconds() - stopped) > 30000; }, limit_ms, warp_ms));
    EXPECT_EQ(errors.lines.size(), 10u);

    // Nor is a port beyond 65535 cut to the listener's.
    const std::string beyond = "127.0.0.1:" + std::to_string(port + 65536);
    Control::ConnectorNet cut(beyond);
    ASSERT_TRUE(cut.Activate());
    EXPECT_EQ(errors.texts().back(), "can't connect to " + beyond + " : invalid address");
    cut.Deactivate();
    EXPECT_LT(accept4(server, nullptr, nullptr, SOCK_CLOEXEC), 0);
}

TEST_F(ConnectorNetTest, ALimitedSendQueueNeverWaitsForAPeerThatDoesNotReadAndDropsItWhenFull)
{
    LineLog out(std::cout), errors(std::cerr);
    ASSERT_EQ(listen(server, 1), 0);
    Control::ConnectorNet connector("127.0.0.1", port);
    connector.service_name("agent");
    connector.LimitSendQueue(64 * 1024);
    connector.Bind(&receiver);
    ASSERT_TRUE(connector.Activate());
    ASSERT_TRUE(run_until([&] { return receiver.connects == 1; }));
    const int accepted = accept4(server, nullptr, nullptr, SOCK_CLOEXEC);
    ASSERT_GE(accepted, 0);
    Strings sent;
    std::string frames;
    auto send_next = [&] {
        std::string message = std::to_string(sent.size()) + ":";
        message.resize(8000, char('a' + sent.size() % 26));
        sent.push_back(message);
        frames += tpkt_frame(message);
        connector.Send(message.data(), int(message.size()));
    };

    // Sends return at once though the peer reads nothing: what its socket cannot take waits.
    while (connector.queued_bytes() == 0 && sent.size() < 10000)
        send_next();
    ASSERT_GT(connector.queued_bytes(), 0u);
    send_next();
    EXPECT_EQ(connector.state(), State::Connected);
    // As the peer reads, the rest goes out as its socket takes it, whole and in order.
    std::string received;
    ASSERT_TRUE(run_until([&] { return (received += read_some(accepted, 0)).size() >= frames.size(); }));
    EXPECT_TRUE(received == frames) << received.size() << " bytes received of " << frames.size();
    EXPECT_EQ(connector.queued_bytes(), 0u);

    // A peer that leaves more unread than the queue holds is dropped, with one line, and the link
    // connects again as after any loss.
    const size_t reached = frames.size();
    while (connector.state() == State::Connected && sent.size() < 20000)
        send_next();
    send_next();
    ASSERT_EQ(errors.lines.size(), 2u);
    EXPECT_THAT(errors.lines[0].text,
                testing::MatchesRegex("agent: send queue overflow, [0-9]+ bytes unsent; connection dropped\\."));
    EXPECT_EQ(errors.lines[1].text, "control connection " + target + " closed.");
    ASSERT_TRUE(run_until([&] { return receiver.connects == 2; }, limit_ms, warp_ms));
    EXPECT_EQ(receiver.events, (Strings{"connect", "disconnect", "connect"}));
    EXPECT_EQ(errors.lines.size(), 2u);
    // The peer got whole frames in order up to the end, the last one maybe cut short.
    const timeval patience{10, 0};
    setsockopt(accepted, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    char buffer[65536];
    for (ssize_t n; (n = recv(accepted, buffer, sizeof buffer, 0)) > 0;)
        received.append(buffer, size_t(n));
    EXPECT_GT(received.size(), reached);
    EXPECT_TRUE(received == frames.substr(0, received.size())) << received.size() << " bytes received";
    close(accepted);
}

}  // namespace
