#pragma once

// Starts the board emulator of this build on a root directory and ends it. Header-only, so that
// the benchmarks, which are built without the test support library, start it the same way.

#include "program_process.h"

#include <cstring>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>

namespace testsupport {

class EmulatorProcess {
public:
    // `board`: a board description file for "--board"; empty, the bare board.
    explicit EmulatorProcess(const std::string& root, const std::string& board = "") : root_(root), board_(board)
    {
        start();
    }
    ~EmulatorProcess() { stop(); }
    EmulatorProcess(const EmulatorProcess&) = delete;
    EmulatorProcess& operator=(const EmulatorProcess&) = delete;

    // Starts "board-emulator --root <root> [--board <board>]" and waits until its control socket takes a
    // connection, which stays open for the caller. Throws std::runtime_error when the emulator
    // does not come up.
    void start()
    {
        std::vector<std::string> arguments{"--root", root_};
        if (!board_.empty())
            arguments.insert(arguments.end(), {"--board", board_});
        process_ = std::make_unique<ProgramProcess>(build_program("board-emulator"), arguments, root_, "board-emulator");
        bool up = eventually([this] { return (control_ = try_connect(root_ + "/dev/board-control")) >= 0 ||
                                             !process_->running(); },
                             milliseconds(30000));
        if (control_ < 0)
            throw std::runtime_error(up ? "board-emulator ended at start: " + process_->errors()
                                        : "board-emulator did not come up in " + root_);
    }

    pid_t pid() const { return process_ ? process_->pid() : -1; }
    // The connection to the control socket.
    int control() const { return control_; }

    // Ends the emulator with SIGTERM (SIGKILL when it has not ended after 10 s) and returns its
    // wait status; -1 when it was already stopped or had to be killed.
    int stop()
    {
        if (control_ >= 0)
            ::close(control_);
        control_ = -1;
        if (!process_)
            return -1;
        process_->signal(SIGTERM);
        int status = process_->wait(milliseconds(10000));
        process_.reset();
        return status;
    }

private:
    static int try_connect(const std::string& path)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path.size() >= sizeof address.sun_path)
            throw std::runtime_error("root path too long for a socket: " + path);
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            return fd;
        if (fd >= 0)
            ::close(fd);
        return -1;
    }

    std::string root_;
    std::string board_;
    std::unique_ptr<ProgramProcess> process_;
    int control_ = -1;
};

}  // namespace testsupport
