#pragma once

// Starts the board emulator of this build on a root directory and ends it. Header-only, so that
// the benchmarks, which are built without the test support library, start it the same way.

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testsupport {

// TOVRASEL_BUILD_DIR (CTest sets it to the build tree's top) names the build tree; without it,
// the tree this program runs from, whose test and benchmark programs sit one level below the top.
inline std::string board_emulator_program()
{
    const char* build = std::getenv("TOVRASEL_BUILD_DIR");
    if (build && *build)
        return std::string(build) + "/board-emulator";
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "board-emulator").string();
}

class EmulatorProcess {
public:
    // Starts "board-emulator --root <root>" and waits until its control socket takes a connection,
    // which stays open for the caller. Throws std::runtime_error when the emulator does not come up.
    explicit EmulatorProcess(const std::string& root)
    {
        std::string program = board_emulator_program();
        if (access(program.c_str(), X_OK) != 0)
            throw std::runtime_error("no board-emulator at " + program + " (build the board-emulator target)");
        pid_ = fork();
        if (pid_ < 0)
            throw std::runtime_error("cannot start board-emulator: " + std::string(std::strerror(errno)));
        if (pid_ == 0) {
            // The emulator goes with the test process, however that ends.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            execl(program.c_str(), "board-emulator", "--root", root.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while ((control_ = try_connect(root + "/dev/board-control")) < 0) {
            int status;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                throw std::runtime_error("board-emulator (" + program + ") ended at start");
            }
            if (std::chrono::steady_clock::now() > deadline) {
                stop();
                throw std::runtime_error("board-emulator did not come up in " + root);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    ~EmulatorProcess() { stop(); }
    EmulatorProcess(const EmulatorProcess&) = delete;
    EmulatorProcess& operator=(const EmulatorProcess&) = delete;

    pid_t pid() const { return pid_; }
    // The connection to the control socket.
    int control() const { return control_; }

    // Ends the emulator with SIGTERM (SIGKILL when it has not ended after 10 s) and returns its
    // wait status; -1 when it was already stopped.
    int stop()
    {
        if (control_ >= 0)
            ::close(control_);
        control_ = -1;
        if (pid_ <= 0)
            return -1;
        kill(pid_, SIGTERM);
        int status = -1;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        pid_ = -1;
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

    pid_t pid_ = -1;
    int control_ = -1;
};

}  // namespace testsupport
