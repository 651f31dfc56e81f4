#pragma once

// Helpers of the reactor tests: the global multiplexer is shared, so every test leaves it as it
// found it (no handler, timer or deferred call left behind) and restores the clock.

#include "foundation/os/ipc_signal.h"
#include "foundation/reactor/child_wait.h"
#include "foundation/reactor/clock.h"
#include "foundation/reactor/multiplexer.h"
#include "foundation/reactor/timer.h"
#include "support/reactor_until.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace reactortest {

// Collects what is written to a standard stream while it lives.
class CaptureStream {
public:
    explicit CaptureStream(std::ostream& stream) : stream_(stream), saved_(stream.rdbuf(text_.rdbuf())) {}
    ~CaptureStream() { stream_.rdbuf(saved_); }
    std::string text() const { return text_.str(); }

private:
    std::ostream& stream_;
    std::ostringstream text_;
    std::streambuf* saved_;
};

// A connected pair of local stream sockets: `ours` goes to the code under test, `peer` stands
// for the other side; both are closed at the end unless closed before.
struct SocketPair {
    SocketPair()
    {
        int fds[2];
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        ours = fds[0];
        peer = fds[1];
    }
    ~SocketPair()
    {
        close_peer();
        close(ours);
    }
    SocketPair(const SocketPair&) = delete;
    SocketPair& operator=(const SocketPair&) = delete;

    void close_peer()
    {
        if (peer >= 0)
            close(peer);
        peer = -1;
    }
    void peer_write(const std::vector<unsigned char>& bytes) const
    {
        ASSERT_EQ(write(peer, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    // Everything the peer can read at once.
    std::vector<unsigned char> peer_read() const
    {
        std::vector<unsigned char> bytes;
        unsigned char buffer[4096];
        for (ssize_t n; (n = recv(peer, buffer, sizeof buffer, MSG_DONTWAIT)) > 0;)
            bytes.insert(bytes.end(), buffer, buffer + n);
        return bytes;
    }

    int ours = -1;
    int peer = -1;
};

inline uint16_t local_port(int fd)
{
    sockaddr_in address{};
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

// "127.0.0.1:<port of the socket>": how the code under test names a local client or listener.
inline std::string local_address(int fd) { return "127.0.0.1:" + std::to_string(local_port(fd)); }

// A TCP socket bound to a free port of every local address (not listening yet).
inline int bound_socket()
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return fd;
}

// The process's child-wait service wired to the reactor and SIGCHLD while the object lives;
// afterwards both are as other tests in this process expect them, and every ended child reaped.
class ChildWaitScope {
public:
    ChildWaitScope() { ChildWait::Activate(); }
    ~ChildWaitScope()
    {
        ChildWait::Cleanup();
        ChildWait::Initialize();
        IPC::Signal::system(SIGCHLD);
        while (waitpid(-1, nullptr, WNOHANG) > 0) {
        }
    }
    ChildWaitScope(const ChildWaitScope&) = delete;
    ChildWaitScope& operator=(const ChildWaitScope&) = delete;
};

class ReactorTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        Mux::set_clock_offset_for_tests(0);
        Mux::clear_cached_time_for_tests();
    }

    // Runs the loop until something terminates it; after limit_ms the guard does, as a failure.
    void run_guarded(unsigned limit_ms = 20000, bool use_watchdog = false)
    {
        Timer guard;
        guard.set(limit_ms, &ReactorTest::guard_expired, this);
        multiplexer.run(use_watchdog, true);
    }

private:
    void guard_expired()
    {
        ADD_FAILURE() << "the reactor was not terminated in time";
        multiplexer.terminate();
    }
};

}  // namespace reactortest
