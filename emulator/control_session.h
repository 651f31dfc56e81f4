#pragma once

// One connection on the test-control socket: commands come one per line, each answer goes out as
// soon as the socket takes it.

#include <functional>
#include <string>

namespace Emulator {

class ControlSession {
public:
    explicit ControlSession(int fd) : fd_(fd) {}
    ~ControlSession();
    ControlSession(const ControlSession&) = delete;
    ControlSession& operator=(const ControlSession&) = delete;

    int fd() const { return fd_; }
    short events() const;
    // Serves one poll report, answering each complete line with `execute`. False once the test
    // has closed the connection (or sent a line too long to be a command).
    bool serve(short revents, const std::function<std::string(const std::string&)>& execute);

private:
    void send_answers();

    int fd_;
    std::string input_;
    std::string output_;
};

}  // namespace Emulator
