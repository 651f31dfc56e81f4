#include "foundation/reactor/async_connect.h"

#include "foundation/reactor/clock.h"
#include "foundation/reactor/multiplexer.h"
#include "reactor_test_support.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using Status = ASync::Connect::Status;

// A TCP socket bound to an ephemeral loopback port; listening when asked.
struct Port {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = {};

    explicit Port(int backlog)
    {
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        if (backlog >= 0)
            listen(fd, backlog);
    }
    ~Port() { close(fd); }
    std::string text() const { return "127.0.0.1:" + std::to_string(ntohs(address.sin_port)); }
    std::string port() const { return std::to_string(ntohs(address.sin_port)); }
};

// Records each report and keeps its own duplicate of a connected socket.
struct Client {
    std::vector<Status::Type> statuses;
    int passed = -1;
    ino_t passed_inode = 0;
    Fd kept;
    uint32_t reported_at = 0;

    void Done(Status::Type status, Fd socket)
    {
        statuses.push_back(status);
        passed = socket;
        reported_at = Mux::milliseconds();
        struct stat info;
        if (socket && fstat(socket, &info) == 0) {
            passed_inode = info.st_ino;
            kept = socket.dup();
        }
        multiplexer.terminate();
    }
    ~Client() { kept.close(); }
};

class AsyncConnectTest : public reactortest::ReactorTest {
protected:
    ASync::Connect connect;
    Client client;
};

TEST_F(AsyncConnectTest, ClosedPortAndBadAddressesFail)
{
    connect.Bind(&Client::Done, &client);
    {
        Port closed(-1);
        std::string text = closed.text();
        close(closed.fd);
        closed.fd = -1;
        connect.Start(text, 5000);
        if (client.statuses.empty())
            run_guarded();
        EXPECT_EQ(client.statuses, std::vector<Status::Type>{Status::failed});
        EXPECT_EQ(client.passed, -1);
    }
    // An address that does not parse is refused at once, never taken as 0.0.0.0 (this host).
    Port listener(4);
    client.statuses.clear();
    connect.Start("nohost:" + listener.port(), 5000);
    EXPECT_EQ(client.statuses, std::vector<Status::Type>{Status::failed});
    EXPECT_EQ(connect.status(), Status::failed);
}

TEST_F(AsyncConnectTest, ConnectedSocketIsLentToTheHandler)
{
    Port listener(4);
    connect.Bind(&Client::Done, &client);
    connect.Start(listener.text(), 5000);
    if (client.statuses.empty())
        run_guarded();
    ASSERT_EQ(client.statuses, std::vector<Status::Type>{Status::connected});
    ASSERT_TRUE(client.kept);

    // The lent descriptor was closed after the handler returned; the duplicate still works.
    struct stat info;
    EXPECT_TRUE(fstat(client.passed, &info) != 0 || info.st_ino != client.passed_inode);
    int server = accept(listener.fd, nullptr, nullptr);
    ASSERT_GE(server, 0);
    ASSERT_EQ(write(client.kept, "ping", 4), 4);
    char got[4];
    ASSERT_EQ(read(server, got, sizeof got), 4);
    EXPECT_EQ(std::string(got, 4), "ping");
    close(server);

    connect.Stop();
    EXPECT_EQ(client.statuses.size(), 1u);
    EXPECT_EQ(connect.status(), Status::connected);
}

TEST_F(AsyncConnectTest, SilentPeerTimesOutOnTimeAndStopEndsAConnect)
{
    // A listener that never accepts: once its queue is full, further handshakes get no answer.
    Port listener(0);
    std::vector<int> fillers;
    bool full = false;
    for (int i = 0; i < 16 && !full; ++i) {
        int filler = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        fillers.push_back(filler);
        ::connect(filler, reinterpret_cast<sockaddr*>(&listener.address), sizeof listener.address);
        pollfd ready = {filler, POLLOUT, 0};
        full = poll(&ready, 1, 200) == 0;
    }
    if (!full)
        GTEST_SKIP() << "the listen queue did not fill";

    connect.Bind(&Client::Done, &client);
    uint32_t start = Mux::milliseconds();
    connect.Start(listener.text(), 300);
    EXPECT_EQ(connect.status(), Status::connecting);
    run_guarded();
    EXPECT_EQ(client.statuses, std::vector<Status::Type>{Status::failed});
    EXPECT_GE(int32_t(client.reported_at - start), 300);
    EXPECT_LT(int32_t(client.reported_at - start), 1000);

    client.statuses.clear();
    connect.Start(listener.text(), 100);
    connect.Stop();
    EXPECT_EQ(client.statuses, std::vector<Status::Type>{Status::stopped});
    // Nothing of the stopped connect is left to report later.
    Timer later;
    later.set(300, &Multiplexer::terminate, &multiplexer);
    run_guarded();
    EXPECT_EQ(client.statuses.size(), 1u);

    for (int filler : fillers)
        close(filler);
}

}  // namespace
