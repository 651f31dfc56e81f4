#pragma once

// A real signalling peer on the line of a channel the daemon drives: the board emulator taps the
// frame channel that the switch joins to a line channel (a trunk time slot) and hands its frames to
// this process, where libpri or libss7 runs in the reactor; the line may lose frames. While the
// reactor runs, the controller's messages are collected.

#include "controller_process.h"

#include "foundation/os/device.h"
#include "foundation/reactor/event.h"
#include "support/reactor_until.h"

#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace systemtest {

class LineTap {
public:
    static constexpr uint32_t tap_code = 0x80044DF0;  // the emulator's test request: the line channel

    // Frames the daemon sends on the channel that reaches the line channel go to `deliver`.
    LineTap(const char* device, int line_channel, std::function<void(const unsigned char*, unsigned)> deliver)
        : deliver_(std::move(deliver))
    {
        Fd fd = Device::open(device, O_RDWR | O_NONBLOCK);
        if (!fd || Device::request_value(fd, tap_code, uint32_t(line_channel)) < 0)
            throw std::runtime_error(std::string("cannot tap ") + device);
        event_.Bind("tap", &LineTap::on_event, this);
        event_.Schedule(fd, POLLIN);
        fd.close();
    }

    // A frame to the daemon.
    void send(const unsigned char* frame, unsigned length)
    {
        if (!dropped(to_daemon_))
            (void)!write(event_.fd(), frame, length);
    }

    // Every n-th frame each way is lost on the line from now on (0: none).
    void drop_every(unsigned n) { drop_every_ = n; }

private:
    void on_event(int fd, short revents)
    {
        unsigned char frame[4096];
        for (ssize_t length; (revents & POLLIN) && (length = read(fd, frame, sizeof frame)) > 0;)
            if (!dropped(from_daemon_))
                deliver_(frame, unsigned(length));
    }
    bool dropped(unsigned& count) { return drop_every_ != 0 && ++count % drop_every_ == 0; }

    std::function<void(const unsigned char*, unsigned)> deliver_;
    Event event_;
    unsigned drop_every_ = 0;
    unsigned to_daemon_ = 0;
    unsigned from_daemon_ = 0;
};

// The controller's messages, taken while the reactor runs the peers.
class PeerSession {
public:
    PeerSession(ControllerProcess& controller, std::function<void()> each_pass)
        : controller_(controller), each_pass_(std::move(each_pass))
    {
    }

    // Runs the reactor until done() holds, at most limit_ms; whether it held.
    bool run_until(const std::function<bool()>& done, unsigned limit_ms = 10000)
    {
        unsigned passes = 0;
        return testsupport::run_reactor_until(done, limit_ms, [&] {
            each_pass_();
            // The controller's output is a file: read it every tenth pass.
            if (++passes % 10 == 0)
                while (std::optional<std::string> message = controller_.next(milliseconds(0)))
                    messages.push_back(*message);
        });
    }
    // Runs until a message holding the text has come; whether it did.
    bool wait_for(const std::string& text, unsigned limit_ms = 10000)
    {
        return run_until([&] { return count(text) > 0; }, limit_ms);
    }
    size_t count(const std::string& text) const
    {
        size_t found = 0;
        for (const std::string& message : messages)
            found += message.find(text) != std::string::npos;
        return found;
    }
    // The messages holding the text, in order.
    std::vector<std::string> with(const std::string& text) const
    {
        std::vector<std::string> found;
        for (const std::string& message : messages)
            if (message.find(text) != std::string::npos)
                found.push_back(message);
        return found;
    }

    std::vector<std::string> messages;  // all taken so far, trunk reports left out by the controller

private:
    ControllerProcess& controller_;
    std::function<void()> each_pass_;
};

}  // namespace systemtest
