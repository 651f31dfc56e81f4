#pragma once

// Helpers of the controller-link tests: stream capture with the reactor time of every line, a
// recording receiver, a reactor run that can make the reactor clock run fast, listeners on ports
// of their own, and plain blocking sockets that stand for the peers (127.0.0.1 only).

#include "foundation/control/notify.h"
#include "foundation/control/service.h"
#include "foundation/util/accept_pause.h"
#include "../reactor/reactor_test_support.h"
#include "support/daemon_process.h"

#include <chrono>
#include <filesystem>
#include <functional>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>

namespace controltest {

using Strings = std::vector<std::string>;

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

    // The times of the lines equal to text.
    std::vector<uint32_t> times(const std::string& text) const
    {
        std::vector<uint32_t> found;
        for (const Line& line : lines)
            if (line.text == text)
                found.push_back(line.ms);
        return found;
    }
    size_t count(const std::string& text) const { return times(text).size(); }
    Strings texts() const
    {
        Strings all;
        for (const Line& line : lines)
            all.push_back(line.text);
        return all;
    }

    std::vector<Line> lines;
    // Called with each line as it completes.
    std::function<void(const Line&)> on_line;

private:
    int overflow(int c) override
    {
        if (c != '\n') {
            partial_ += char(c);
            return c;
        }
        lines.push_back({Mux::milliseconds(), partial_});
        partial_.clear();
        if (on_line)
            on_line(lines.back());
        return c;
    }

    std::ostream& stream_;
    std::streambuf* saved_;
    std::string partial_;
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
    std::function<void()> on_disconnect, on_message;
    int connects = 0, disconnects = 0;
    Strings messages, events;
};

class ControlTest : public reactortest::ReactorTest {
protected:
    // Runs the reactor until done() holds or limit_ms of real time have passed; returns done().
    // With a warp the reactor clock jumps warp_ms ahead at every tick of about one millisecond,
    // so that timers of seconds come within a few real milliseconds; the times of the LineLog
    // lines follow the jumps.
    bool run_until(const std::function<bool()>& done, unsigned limit_ms = 10000, unsigned warp_ms = 0)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
        // The clock jumps between runs of a millisecond, so that no run waits on a time it did
        // not read itself.
        while (!done() && std::chrono::steady_clock::now() < deadline) {
            testsupport::run_reactor_for(1);
            offset_us_ += int64_t(warp_ms) * 1000;
            Mux::set_clock_offset_for_tests(offset_us_);
        }
        return done();
    }

    // Moves the reactor clock ahead at once, so that what is due then runs on the next pass.
    void advance_clock(unsigned ms)
    {
        offset_us_ += int64_t(ms) * 1000;
        Mux::set_clock_offset_for_tests(offset_us_);
    }

private:
    int64_t offset_us_ = 0;
};

using reactortest::bound_socket;
using reactortest::local_address;
using reactortest::local_port;

// Makes the code under test listen on a port nobody uses: start(port) starts it. Another process
// may take a chosen port before the code binds it, so new ports are tried until a socket of this
// process listens. Returns the port.
inline uint16_t listen_on_free_port(const std::function<bool(uint16_t)>& start)
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        const auto port = uint16_t(testsupport::unused_port());
        // Hides the complaints about a taken port.
        reactortest::CaptureStream quiet(std::cerr);
        if (start(port) && testsupport::listens_on(getpid(), port))
            return port;
    }
    ADD_FAILURE() << "found no free port to listen on";
    return 0;
}

// A blocking TCP client connected to 127.0.0.1:port; -1 on failure.
inline int connect_client(uint16_t port)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = testsupport::loopback(port);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
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

// Lowers this process's descriptor limit to its lowest free descriptor, so that making another
// fails with EMFILE, while the object lives.
struct DescriptorLimit {
    DescriptorLimit()
    {
        // The sanitizer checks the type of an object it meets first through a pipe, which the
        // limit forbids: it meets the pause's timer before.
        Event idle;
        errno = EMFILE;
        AcceptPause().Check(idle, "", false);
        getrlimit(RLIMIT_NOFILE, &saved);
        rlimit lowered = saved;
        lowered.rlim_cur = rlim_t(open("/dev/null", O_RDONLY | O_CLOEXEC));
        close(int(lowered.rlim_cur));
        EXPECT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
    }
    ~DescriptorLimit() { setrlimit(RLIMIT_NOFILE, &saved); }
    rlimit saved;
};

// Open descriptors of this process.
inline size_t open_descriptors()
{
    auto entries = std::filesystem::directory_iterator("/proc/self/fd");
    return size_t(std::distance(begin(entries), end(entries)));
}

}  // namespace controltest
