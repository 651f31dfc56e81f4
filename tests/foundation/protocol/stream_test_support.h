#pragma once

// Helpers of the stream-layer tests: a socket pair to talk through and a bounded run of the
// real reactor.

#include "foundation/reactor/clock.h"
#include "foundation/reactor/multiplexer.h"
#include "foundation/reactor/timer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

namespace streamtest {

// Runs the reactor until done() holds or limit_ms have passed; returns done().
inline bool run_until(const std::function<bool()>& done, unsigned limit_ms = 10000)
{
    struct Watch {
        const std::function<bool()>& done;
        uint32_t deadline;
        Timer tick;

        void check()
        {
            if (done() || int32_t(Mux::milliseconds() - deadline) >= 0)
                multiplexer.terminate();
            else
                tick.set(2, &Watch::check, this);
        }
    } watch{done, Mux::milliseconds() + limit_ms, {}};
    watch.tick.set(0, &Watch::check, &watch);
    multiplexer.run(false, true);
    return done();
}

inline void run_for(unsigned ms)
{
    run_until([] { return false; }, ms);
}

// A connected pair of local stream sockets; `ours` goes to the layer, `peer` stands for the
// other side. Both are closed at the end unless already closed.
struct SocketPair {
    SocketPair()
    {
        int fds[2];
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        ours = fds[0];
        peer = fds[1];
    }
    ~SocketPair()
    {
        close_peer();
        if (ours >= 0)
            close(ours);
    }
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
        ssize_t n;
        while ((n = recv(peer, buffer, sizeof buffer, MSG_DONTWAIT)) > 0)
            bytes.insert(bytes.end(), buffer, buffer + n);
        return bytes;
    }

    int ours = -1;
    int peer = -1;
};

}  // namespace streamtest
