#pragma once

// Helpers of the controller-link tests: stream capture with the reactor time of every line, a
// recording receiver, a reactor run that can make the reactor clock run fast, and plain
// blocking sockets that stand for the peers (127.0.0.1 only).

#include "foundation/control/notify.h"
#include "foundation/control/service.h"
#include "foundation/reactor/clock.h"
#include "foundation/reactor/multiplexer.h"
#include "foundation/reactor/timer.h"
#include "../reactor/reactor_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace controltest {

// Collects the lines written to a standard stream while it lives, each with the reactor time
// at which its end of line was written.
class LineLog : public std::streambuf {
public:
    struct Line {
        uint32_t ms;
        std::string text;
    };

    explicit LineLog(std::ostream& stream) : stream_(stream), saved_(stream.rdbuf(this)) {}
    ~LineLog() override { stream_.rdbuf(saved_); }

    const std::vector<Line>& lines() const { return lines_; }
    // The lines equal to text.
    std::vector<Line> matching(const std::string& text) const
    {
        std::vector<Line> found;
        for (const Line& line : lines_)
            if (line.text == text)
                found.push_back(line);
        return found;
    }
    size_t count(const std::string& text) const { return matching(text).size(); }
    std::vector<std::string> texts() const
    {
        std::vector<std::string> all;
        for (const Line& line : lines_)
            all.push_back(line.text);
        return all;
    }
    // Called with each line as it completes.
    std::function<void(const Line&)> on_line;

private:
    int overflow(int c) override
    {
        if (c == traits_type::eof())
            return 0;
        if (c != '\n') {
            partial_ += char(c);
            return c;
        }
        lines_.push_back({Mux::milliseconds(), partial_});
        partial_.clear();
        if (on_line)
            on_line(lines_.back());
        return c;
    }

    std::ostream& stream_;
    std::streambuf* saved_;
    std::string partial_;
    std::vector<Line> lines_;
};

// Records what a link tells its receiver; can echo every message back through a service.
class Receiver : public Control::Notify {
public:
    void OnConnect() override
    {
        ++connects;
        events.push_back("connect");
    }
    void OnDisconnect() override
    {
        ++disconnects;
        events.push_back("disconnect");
        if (on_disconnect)
            on_disconnect();
    }
    void OnMessage(const char* data, int length) override
    {
        messages.emplace_back(data, size_t(length));
        events.push_back("message");
        if (echo)
            echo->Send(data, length);
        if (on_message)
            on_message();
    }

    Control::Service* echo = nullptr;
    std::function<void()> on_disconnect;
    std::function<void()> on_message;
    int connects = 0;
    int disconnects = 0;
    std::vector<std::string> messages;
    std::vector<std::string> events;
};

class ControlTest : public reactortest::ReactorTest {
protected:
    // Runs the reactor until done() holds or limit_ms of real time have passed; returns done().
    // With a warp the reactor clock jumps warp_ms ahead at every tick of about one millisecond,
    // so that timers of seconds come within a few real milliseconds; the times of the LineLog
    // lines follow the jumps.
    bool run_until(const std::function<bool()>& done, unsigned limit_ms = 10000, unsigned warp_ms = 0)
    {
        struct Watch {
            ControlTest& test;
            const std::function<bool()>& done;
            std::chrono::steady_clock::time_point deadline;
            unsigned warp_ms;
            Timer tick;

            void check()
            {
                if (done() || std::chrono::steady_clock::now() >= deadline) {
                    multiplexer.terminate();
                    return;
                }
                // Armed before the jump: the reactor computes its wait from the time it read
                // before the timers ran.
                tick.set(1, &Watch::check, this);
                test.warp(warp_ms);
            }
        } watch{*this, done, std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms), warp_ms, {}};
        watch.tick.set(0, &Watch::check, &watch);
        multiplexer.run(false, true);
        return done();
    }

    // Moves the reactor clock ahead.
    void warp(unsigned ms)
    {
        offset_us_ += int64_t(ms) * 1000;
        Mux::set_clock_offset_for_tests(offset_us_);
    }

private:
    int64_t offset_us_ = 0;
};

inline uint16_t local_port(int fd)
{
    sockaddr_in address{};
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

// A TCP socket bound to a free port of every local address (not listening yet).
inline int bound_socket()
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return fd;
}

// A port that nothing uses right now.
inline uint16_t free_port()
{
    int fd = bound_socket();
    uint16_t port = local_port(fd);
    close(fd);
    return port;
}

// A blocking TCP client connected to 127.0.0.1:port; -1 on failure.
inline int connect_client(uint16_t port)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        return fd;
    close(fd);
    return -1;
}

inline std::string tpkt_frame(const std::string& payload)
{
    const size_t length = payload.size() + 4;
    return std::string{char(3), char(0), char(length >> 8), char(length & 0xFF)} + payload;
}

inline void write_all(int fd, const std::string& bytes)
{
    ASSERT_EQ(send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
}

// What arrives within wait_ms after the first byte has come (bytes already there return at once).
inline std::string read_some(int fd, unsigned wait_ms = 2000)
{
    pollfd entry{fd, POLLIN, 0};
    std::string bytes;
    char buffer[4096];
    if (poll(&entry, 1, int(wait_ms)) == 1)
        for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0;)
            bytes.append(buffer, size_t(n));
    return bytes;
}

// Whether the peer has closed the connection: end of file or reset, within wait_ms.
inline bool sees_end(int fd, unsigned wait_ms = 2000)
{
    pollfd entry{fd, POLLIN, 0};
    char byte;
    return poll(&entry, 1, int(wait_ms)) == 1 && recv(fd, &byte, 1, MSG_DONTWAIT) <= 0;
}

// The states (hex codes of /proc/net/tcp: 01 established, 08 close-wait, ...) of the IPv4 TCP
// sockets whose local or remote port is the given one.
inline std::vector<std::string> tcp_states(uint16_t port)
{
    std::vector<std::string> states;
    std::ifstream table("/proc/net/tcp");
    std::string line, slot, local, remote, state;
    std::getline(table, line);
    auto port_of = [](const std::string& endpoint) {
        return unsigned(std::stoul(endpoint.substr(endpoint.find(':') + 1), nullptr, 16));
    };
    while (std::getline(table, line)) {
        std::istringstream(line) >> slot >> local >> remote >> state;
        if (port_of(local) == port || port_of(remote) == port)
            states.push_back(state);
    }
    return states;
}

// Open descriptors of this process.
inline int open_descriptors()
{
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (dirent* entry = readdir(dir))
            count += entry->d_name[0] != '.';
        closedir(dir);
    }
    // The directory's own descriptor.
    return count - 1;
}

}  // namespace controltest
