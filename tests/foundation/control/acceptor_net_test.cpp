#include "foundation/control/acceptor_net.h"
#include "foundation/control/acceptor_net_check_connection.h"
#include "control_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using controltest::LineLog;
using controltest::Receiver;
using controltest::read_some;
using controltest::sees_end;
using controltest::tpkt_frame;
using controltest::write_all;
using testing::Contains;
using testing::Not;
using State = Control::Service::State;
using Strings = std::vector<std::string>;

class AcceptorNetTest : public controltest::ControlTest {
protected:
    void TearDown() override
    {
        for (int fd : clients_)
            close(fd);
        ControlTest::TearDown();
    }

    // A client connected to the acceptor's port; closed at the end of the test.
    int client()
    {
        int fd = controltest::connect_client(port);
        EXPECT_GE(fd, 0);
        clients_.push_back(fd);
        return fd;
    }
    void close_client(int fd)
    {
        close(fd);
        clients_.erase(std::remove(clients_.begin(), clients_.end(), fd), clients_.end());
    }
    static std::string peer_of(int fd) { return "127.0.0.1:" + std::to_string(controltest::local_port(fd)); }

    uint16_t port = controltest::free_port();
    Receiver receiver;

private:
    std::vector<int> clients_;
};

TEST_F(AcceptorNetTest, EchoesFramesRefusesASecondPeerAndReportsTheEndOnTheNextPass)
{
    LineLog out(std::cout);
    LineLog errors(std::cerr);
    LineLog debug(std::clog);
    Control::AcceptorNetCheckConnection acceptor(port);
    receiver.echo = &acceptor;
    acceptor.Bind(&receiver);
    ASSERT_TRUE(acceptor.Activate());
    EXPECT_EQ(acceptor.state(), State::Connecting);

    const int first = client();
    const std::string peer = peer_of(first);
    ASSERT_TRUE(run_until([&] { return receiver.connects == 1; }));
    EXPECT_EQ(out.texts(), Strings{"new connection from " + peer});
    EXPECT_EQ(acceptor.state(), State::Connected);
    EXPECT_EQ(acceptor.connection_name(), peer);

    // A second peer is refused at once; the probe then finds the first connection healthy.
    int second = client();
    ASSERT_TRUE(run_until([&] { return errors.count("refuse connection from " + peer_of(second)) == 1; }));
    EXPECT_TRUE(sees_end(second));
    EXPECT_EQ(debug.count("CheckConnectionState CheckConnection"), 1u);
    ASSERT_TRUE(run_until([&] { return debug.count("CheckConnectionState Idle") == 1; }, 5000));

    write_all(first, tpkt_frame("hello") + tpkt_frame(""));
    ASSERT_TRUE(run_until([&] { return receiver.messages.size() == 2; }));
    EXPECT_EQ(receiver.messages, (Strings{"hello", ""}));
    EXPECT_EQ(read_some(first), tpkt_frame("hello") + tpkt_frame(""));

    // The end is logged inside the stream's callback; the receiver hears of it on a later pass.
    const std::string closed = "control connection " + peer + " closed.";
    int disconnects_at_close_line = -1;
    errors.on_line = [&](const LineLog::Line& line) {
        if (line.text == closed)
            disconnects_at_close_line = receiver.disconnects;
    };
    State::Type state_seen_by_receiver = State::Idle;
    receiver.on_disconnect = [&] { state_seen_by_receiver = acceptor.state(); };
    close_client(first);
    ASSERT_TRUE(run_until([&] { return receiver.disconnects == 1; }));
    EXPECT_EQ(errors.lines().back().text, closed);
    EXPECT_EQ(disconnects_at_close_line, 0);
    EXPECT_EQ(state_seen_by_receiver, State::Connecting);
    EXPECT_EQ(receiver.events, (Strings{"connect", "message", "message", "disconnect"}));

    // The refused peer gets in on its next attempt.
    close_client(second);
    second = client();
    ASSERT_TRUE(run_until([&] { return receiver.connects == 2; }));
    EXPECT_EQ(out.texts(), (Strings{"new connection from " + peer, "new connection from " + peer_of(second)}));
    write_all(second, tpkt_frame("second"));
    ASSERT_TRUE(run_until([&] { return receiver.messages.size() == 3; }));
    EXPECT_EQ(read_some(second), tpkt_frame("second"));
}

TEST_F(AcceptorNetTest, TakenPortIsRetriedEveryFiveSecondsUntilItIsFree)
{
    const int blocker = controltest::bound_socket();
    ASSERT_EQ(listen(blocker, 1), 0);
    port = controltest::local_port(blocker);
    LineLog errors(std::cerr);
    LineLog out(std::cout);
    Control::AcceptorNet acceptor(port);
    acceptor.Bind(&receiver);
    ASSERT_TRUE(acceptor.Activate());
    EXPECT_EQ(acceptor.state(), State::Connecting);

    const std::string waiting = "can't bind to socket: \"Address already in use\"  waiting...";
    ASSERT_TRUE(run_until([&] { return errors.count(waiting) == 3; }, 30000, 50));
    const std::vector<LineLog::Line> lines = errors.matching(waiting);
    EXPECT_EQ(errors.lines().size(), 3u);
    for (size_t i = 1; i < lines.size(); ++i) {
        EXPECT_GE(int32_t(lines[i].ms - lines[i - 1].ms), 5000);
        EXPECT_LT(int32_t(lines[i].ms - lines[i - 1].ms), 6000);
    }

    close(blocker);
    ASSERT_TRUE(run_until([&] { return int32_t(Mux::milliseconds() - lines.back().ms) > 6000; }, 30000, 50));
    EXPECT_EQ(errors.lines().size(), 3u);
    const int peer = client();
    ASSERT_TRUE(run_until([&] { return receiver.connects == 1; }));
    EXPECT_EQ(out.texts(), Strings{"new connection from " + peer_of(peer)});
}

TEST_F(AcceptorNetTest, DisconnectClosesTheConnectionAtOnce)
{
    LineLog errors(std::cerr);
    Control::AcceptorNetCheckConnection acceptor(port);
    // As the heartbeat does on a silent controller; a second call finds the link ending.
    receiver.on_message = [&] {
        acceptor.Disconnect();
        acceptor.Disconnect();
    };
    acceptor.Bind(&receiver);
    ASSERT_TRUE(acceptor.Activate());
    const int peer = client();
    ASSERT_TRUE(run_until([&] { return receiver.connects == 1; }));

    write_all(peer, tpkt_frame("one") + tpkt_frame("two"));
    ASSERT_TRUE(run_until([&] { return receiver.disconnects == 1; }));
    EXPECT_TRUE(sees_end(peer, 1000));
    EXPECT_THAT(controltest::tcp_states(port), Not(Contains("01")));
    EXPECT_EQ(receiver.events, (Strings{"connect", "message", "disconnect"}));
    EXPECT_EQ(errors.texts(), Strings{"control connection " + peer_of(peer) + " closed."});

    const int next = client();
    ASSERT_TRUE(run_until([&] { return receiver.connects == 2; }));
    EXPECT_EQ(acceptor.connection_name(), peer_of(next));
}

TEST_F(AcceptorNetTest, SendOutsideConnectedIsIgnoredAndDeactivateTellsTheReceiverNothing)
{
    LineLog errors(std::cerr);
    Control::AcceptorNet never_activated(port), quiet(port, false);
    never_activated.Send("abc", 3);
    quiet.Send("abc", 3);
    Control::AcceptorNetCheckConnection acceptor(port);
    acceptor.Bind(&receiver);
    ASSERT_TRUE(acceptor.Activate());
    acceptor.Send("abc", 3);
    EXPECT_EQ(errors.texts(), (Strings{"Control::Service::Send() ignore Send request in Idle state.",
                                       "Control::Service::Send() ignore Send request in Connecting state."}));
    int peer = client();
    ASSERT_TRUE(run_until([&] { return receiver.connects == 1; }));

    // A frame that arrived but was not read yet never reaches the receiver.
    write_all(peer, tpkt_frame("late"));
    acceptor.Deactivate();
    EXPECT_EQ(acceptor.state(), State::Idle);
    run_until([] { return false; }, 200);
    EXPECT_EQ(receiver.events, Strings{"connect"});
    EXPECT_TRUE(sees_end(peer));
    EXPECT_EQ(controltest::connect_client(port), -1);
    EXPECT_EQ(errors.lines().size(), 2u);

    // Deactivated while the end of a connection waits for the next pass: the receiver is not
    // told, and the service stays Idle.
    ASSERT_TRUE(acceptor.Activate());
    receiver.on_message = [&] {
        acceptor.Disconnect();
        acceptor.Deactivate();
    };
    peer = client();
    ASSERT_TRUE(run_until([&] { return receiver.connects == 2; }));
    write_all(peer, tpkt_frame("bye"));
    ASSERT_TRUE(run_until([&] { return receiver.messages.size() == 1; }));
    run_until([] { return false; }, 200);
    EXPECT_EQ(acceptor.state(), State::Idle);
    EXPECT_EQ(receiver.disconnects, 0);
    EXPECT_TRUE(sees_end(peer));
}

}  // namespace
