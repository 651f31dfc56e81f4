#include "foundation/reactor/async_connect.h"

#include "reactor_test_support.h"
#include "support/daemon_process.h"

#include <fcntl.h>
#include <poll.h>

namespace {

using namespace reactortest;
using Status = ASync::Connect::Status;
using Statuses = std::vector<Status::Type>;

class AsyncConnectTest : public ReactorTest {
protected:
    void SetUp() override { connect.Bind(&AsyncConnectTest::Done, this); }
    void TearDown() override
    {
        kept.close();
        ReactorTest::TearDown();
    }
    // Records each report, keeps a duplicate of a connected socket and ends the loop.
    void Done(Status::Type status, Fd socket)
    {
        statuses.push_back(status);
        lent = socket;
        kept = socket.dup();
        multiplexer.terminate();
    }
    // The reports of a connect (which may come from within Start).
    Statuses connect_to(const std::string& address, unsigned timeout_ms = 5000)
    {
        statuses.clear();
        connect.Start(address, timeout_ms);
        if (statuses.empty())
            run_guarded();
        return statuses;
    }

    ASync::Connect connect;
    Statuses statuses;
    int lent = -1;
    Fd kept;
};

TEST_F(AsyncConnectTest, RefusedPortAndBadAddressFailAndAConnectedSocketIsLent)
{
    // Bound but not listening: the connect is refused, and no other process can take the port.
    const int refusing = bound_socket(), listener = bound_socket();
    ASSERT_EQ(listen(listener, 4), 0);
    EXPECT_EQ(connect_to(local_address(refusing)), Statuses{Status::failed});
    // An address that does not parse is refused at once, never taken as 0.0.0.0 (this host), nor
    // a port beyond 65535 as the listener's.
    connect.Start("nohost:" + std::to_string(local_port(listener)), 5000);
    connect.Start("127.0.0.1:" + std::to_string(local_port(listener) + 65536), 5000);
    EXPECT_EQ(statuses, (Statuses{Status::failed, Status::failed, Status::failed}));
    EXPECT_EQ(connect.status(), Status::failed);

    ASSERT_EQ(connect_to(local_address(listener)), Statuses{Status::connected});
    // The lent descriptor was closed after the handler returned; the duplicate still works.
    EXPECT_EQ(fcntl(lent, F_GETFD), -1);
    const int server = accept(listener, nullptr, nullptr);
    char got[4];
    ASSERT_EQ(write(kept, "ping", 4), 4);
    EXPECT_EQ(recv(server, got, sizeof got, MSG_WAITALL), 4);
    connect.Stop();
    EXPECT_EQ(statuses.size(), 1u);
    EXPECT_EQ(connect.status(), Status::connected);
    for (int fd : {refusing, listener, server})
        close(fd);
}

TEST_F(AsyncConnectTest, SilentPeerTimesOutOnTimeAndStopEndsAConnect)
{
    // A listener that never accepts: once its queue is full, further handshakes get no answer.
    const int listener = bound_socket();
    ASSERT_EQ(listen(listener, 0), 0);
    const sockaddr_in address = testsupport::loopback(local_port(listener));
    std::vector<int> fillers{listener};
    bool full = false;
    for (int i = 0; i < 16 && !full; ++i) {
        fillers.push_back(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        ::connect(fillers.back(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
        pollfd ready = {fillers.back(), POLLOUT, 0};
        full = poll(&ready, 1, 200) == 0;
    }
    if (full) {
        const uint32_t start = Mux::milliseconds();
        EXPECT_EQ(connect_to(local_address(listener), 300), Statuses{Status::failed});
        EXPECT_GE(int32_t(Mux::milliseconds() - start), 300);
        EXPECT_LT(int32_t(Mux::milliseconds() - start), 1000);

        statuses.clear();
        connect.Start(local_address(listener), 100);
        EXPECT_EQ(connect.status(), Status::connecting);
        connect.Stop();
        EXPECT_EQ(statuses, Statuses{Status::stopped});
        // Nothing of the stopped connect is left to report later.
        testsupport::run_reactor_for(300);
        EXPECT_EQ(statuses.size(), 1u);
    }
    for (int fd : fillers)
        close(fd);
    if (!full)
        GTEST_SKIP() << "the listen queue did not fill";
}

}  // namespace
