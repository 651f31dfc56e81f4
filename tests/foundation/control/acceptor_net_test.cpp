#include "foundation/control/acceptor_net.h"
#include "foundation/control/acceptor_net_check_connection.h"
#include "control_test_support.h"

#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

namespace {

using namespace controltest;
using State = Control::Service::State;

class AcceptorNetTest : public ControlTest {
protected:
    void TearDown() override
    {
        for (int fd : clients_)
            close(fd);
        ControlTest::TearDown();
    }

    // An activated acceptor listening on a port of its own.
    void open()
    {
        port = listen_on_free_port([&](uint16_t free) {
            acceptor = std::make_unique<Control::AcceptorNetCheckConnection>(free);
            acceptor->Bind(&receiver);
            return acceptor->Activate();
        });
    }
    // A client connected to the acceptor's port; closed at the end of the test.
    int client()
    {
        clients_.push_back(connect_client(port));
        EXPECT_GE(clients_.back(), 0);
        return clients_.back();
    }

    uint16_t port = 0;
    Receiver receiver;
    std::unique_ptr<Control::AcceptorNetCheckConnection> acceptor;

private:
    std::vector<int> clients_;
};

TEST_F(AcceptorNetTest, EchoesFramesReportsEndsOnTheNextPassAndDisconnectsAtOnce)
{
    LineLog out(std::cout), errors(std::cerr);
    open();
    receiver.echo = acceptor.get();
    EXPECT_EQ(acceptor->state(), State::Connecting);
    const int first = client();
    const std::string peer = local_address(first);
    ASSERT_TRUE(run_until([&] { return receiver.connects == 1; }));
    EXPECT_EQ(out.texts(), Strings{"new connection from " + peer});
    EXPECT_EQ(acceptor->state(), State::Connected);
    EXPECT_EQ(acceptor->connection_name(), peer);
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
    receiver.on_disconnect = [&] { state_seen_by_receiver = acceptor->state(); };
    shutdown(first, SHUT_RDWR);
    ASSERT_TRUE(run_until([&] { return receiver.disconnects == 1; }));
    EXPECT_EQ(errors.texts(), Strings{closed});
    EXPECT_EQ(disconnects_at_close_line, 0);
    EXPECT_EQ(state_seen_by_receiver, State::Connecting);

    // The next peer is taken. Disconnect, as the heartbeat calls it on a silent controller,
    // closes at once, and a second call finds the link ending.
    receiver.echo = nullptr;
    receiver.on_message = [&] {
        acceptor->Disconnect();
        acceptor->Disconnect();
    };
    const int second = client();
    ASSERT_TRUE(run_until([&] { return receiver.connects == 2; }));
    write_all(second, tpkt_frame("one") + tpkt_frame("two"));
    ASSERT_TRUE(run_until([&] { return receiver.disconnects == 2; }));
    EXPECT_TRUE(sees_end(second, 1000));
    EXPECT_EQ(receiver.events,
              (Strings{"connect", "message", "message", "disconnect", "connect", "message", "disconnect"}));
    EXPECT_EQ(errors.lines.back().text, "control connection " + local_address(second) + " closed.");
}

// The state of the acceptor's side of the connection from the client's local port, as the
// kernel's table shows it ("01" established, "08" waiting to close); empty once it is gone.
std::string accepted_side_state(uint16_t port, uint16_t client_port)
{
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);
    auto port_of = [](const std::string& endpoint) { return std::stoul(endpoint.substr(endpoint.find(':') + 1), nullptr, 16); };
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (port_of(local) == port && port_of(remote) == client_port)
            return state;
    }
    return "";
}

TEST_F(AcceptorNetTest, TheCheckDropsAConnectionThatLeftTheEstablishedStateOrFailed)
{
    LineLog errors(std::cerr), debug(std::clog);
    open();
    // Each peer ends while the reactor stands still; the check, due at once, runs before the
    // stream reads the end, and drops the connection itself.
    const int first = client();
    ASSERT_TRUE(run_until([&] { return receiver.connects == 1; }));
    const std::string first_name = local_address(first);
    ASSERT_EQ(shutdown(first, SHUT_WR), 0);
    ASSERT_TRUE(testsupport::eventually(
        [&] { return accepted_side_state(port, local_port(first)) == "08"; }, std::chrono::milliseconds(10000)));
    advance_clock(1500);
    ASSERT_TRUE(run_until([&] { return receiver.disconnects == 1; }));
    EXPECT_EQ(errors.texts(), (Strings{"connection from " + first_name + " closed: tcp socket change state.",
                                       "control connection " + first_name + " closed."}));
    EXPECT_EQ(debug.count("CheckConnectionState Idle"), 1u);
    EXPECT_TRUE(sees_end(first));

    // A reset leaves the state and leaves an error on the socket.
    const int second = connect_client(port);
    ASSERT_TRUE(run_until([&] { return receiver.connects == 2; }));
    const std::string second_name = local_address(second);
    const uint16_t second_port = local_port(second);
    const linger reset{1, 0};
    ASSERT_EQ(setsockopt(second, SOL_SOCKET, SO_LINGER, &reset, sizeof reset), 0);
    errors.lines.clear();
    close(second);
    ASSERT_TRUE(testsupport::eventually([&] { return accepted_side_state(port, second_port).empty(); },
                                        std::chrono::milliseconds(10000)));
    advance_clock(1500);
    ASSERT_TRUE(run_until([&] { return receiver.disconnects == 2; }));
    EXPECT_EQ(errors.texts(), (Strings{"connection from " + second_name + " closed: tcp socket change state.",
                                       "connection from " + second_name + " closed: " + std::strerror(ECONNRESET),
                                       "control connection " + second_name + " closed."}));
}

TEST_F(AcceptorNetTest, TakenPortAndLackOfDescriptorsAreWaitedOut)
{
    // A listener of ours holds the port on every address. Shut down, it stops listening but keeps
    // the port (bound to it by number, with SO_REUSEADDR as the acceptor): no other process can
    // take it meanwhile.
    int blocker = -1;
    port = listen_on_free_port([&](uint16_t free) {
        close(blocker);
        blocker = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        setsockopt(blocker, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(free);
        return bind(blocker, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && listen(blocker, 1) == 0;
    });
    LineLog errors(std::cerr), out(std::cout);
    Control::AcceptorNet taken(port);
    taken.Bind(&receiver);
    ASSERT_TRUE(taken.Activate());
    EXPECT_EQ(taken.state(), State::Connecting);

    const std::string waiting = "can't bind to socket: \"Address already in use\"  waiting...";
    ASSERT_TRUE(run_until([&] { return errors.count(waiting) == 2; }, 30000, 50));
    const std::vector<uint32_t> times = errors.times(waiting);
    EXPECT_GE(int32_t(times[1] - times[0]), 5000);
    ASSERT_EQ(shutdown(blocker, SHUT_RD), 0);
    ASSERT_TRUE(run_until([&] { return testsupport::listens_on(getpid(), port); }, 30000, 50));
    EXPECT_EQ(errors.lines.size(), 2u);
    const int peer = client();
    ASSERT_TRUE(run_until([&] { return receiver.connects == 1; }));
    EXPECT_EQ(out.texts(), Strings{"new connection from " + local_address(peer)});
    close(blocker);

    // Without a descriptor left a pending peer waits, after one line, for a second in which the
    // listener is not served; then it is accepted (and refused, a connection standing).
    const int second = client();
    {
        DescriptorLimit limit;
        taken.OnSocketEvent(-1, POLLIN);
    }
    const std::string refused = "refuse connection from " + local_address(second);
    ASSERT_TRUE(run_until([&] { return errors.count(refused) == 1; }, 10000, 50));
    ASSERT_EQ(errors.lines.size(), 4u);
    EXPECT_EQ(errors.lines[2].text, "can't accept: Too many open files, trying again in 1000 ms");
    EXPECT_GE(int32_t(errors.lines[3].ms - errors.lines[2].ms), 1000);
}

TEST_F(AcceptorNetTest, DeactivateTellsTheReceiverNothingAndStopsListening)
{
    LineLog errors(std::cerr);
    open();
    // Sending outside a connection is ignored: the first request of each absence of a peer with a
    // line, the others counted, and the count told once a peer is there.
    for (int i = 0; i < 3; ++i)
        acceptor->Send("abc", 3);
    EXPECT_EQ(acceptor->ignored_sends(), 2u);
    const int peer = client();
    ASSERT_TRUE(run_until([&] { return receiver.connects == 1; }));
    EXPECT_EQ(errors.texts(), (Strings{"Control::Service::Send() ignore Send request in Connecting state.",
                                       "Control::Service::Send() ignored 2 more Send requests without a peer."}));
    EXPECT_EQ(acceptor->ignored_sends(), 0u);
    // A frame that arrived but was not read yet never reaches the receiver.
    write_all(peer, tpkt_frame("late"));
    acceptor->Deactivate();
    EXPECT_EQ(acceptor->state(), State::Idle);
    acceptor->Send("abc", 3);
    EXPECT_EQ(errors.lines.back().text, "Control::Service::Send() ignore Send request in Idle state.");
    testsupport::run_reactor_for(200);
    EXPECT_EQ(receiver.events, Strings{"connect"});
    EXPECT_TRUE(sees_end(peer));
    EXPECT_FALSE(testsupport::listens_on(getpid(), port));
}

}  // namespace
