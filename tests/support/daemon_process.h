#pragma once

// The daemon of this build on the board emulator, in a fresh root, and the loopback connections
// through which a controller reaches it. Header-only, so that the benchmarks, which are built
// without the test support library, start it the same way.

#include "emulator_process.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdexcept>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testsupport {

inline sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A loopback port that nothing listened on a moment ago.
inline int unused_port()
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

// A connection to a port on loopback, without Nagle's delay, closed at the end.
class LoopbackConnection {
public:
    LoopbackConnection() = default;
    ~LoopbackConnection()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    LoopbackConnection(const LoopbackConnection&) = delete;
    LoopbackConnection& operator=(const LoopbackConnection&) = delete;

    // Retries for 30 s while nothing listens yet; false when nothing came to listen.
    bool connect_to(int port)
    {
        sockaddr_in address = loopback(port);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline) {
            fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
                int on = 1;
                setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
                return true;
            }
            close(fd_);
            fd_ = -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

// The board emulator and "tovrasel --port <port>", quiet, in a fresh root named by
// TOVRASEL_ROOT; the daemon is stopped with SIGTERM at the end, then the emulator, and the root
// is removed. Whether the daemon came up shows when a controller connects.
class DaemonProcess {
public:
    explicit DaemonProcess(int port) : root_(make_root()), emulator_(root_)
    {
        std::string program =
            (std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "tovrasel").string();
        std::string port_text = std::to_string(port);
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            int quiet = open("/dev/null", O_WRONLY);
            dup2(quiet, 1);
            dup2(quiet, 2);
            execl(program.c_str(), "tovrasel", "--port", port_text.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~DaemonProcess()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        emulator_.stop();
        unsetenv("TOVRASEL_ROOT");
        std::filesystem::remove_all(root_);
    }
    DaemonProcess(const DaemonProcess&) = delete;
    DaemonProcess& operator=(const DaemonProcess&) = delete;

private:
    static std::string make_root()
    {
        std::string root = (std::filesystem::temp_directory_path() / "tovrasel-daemon-XXXXXX").string();
        if (!mkdtemp(root.data()))
            throw std::runtime_error("cannot create a temporary root");
        for (const char* directory : {"/var/run", "/var/log", "/usr/local/etc"})
            std::filesystem::create_directories(root + directory);
        setenv("TOVRASEL_ROOT", root.c_str(), 1);
        return root;
    }

    std::string root_;
    EmulatorProcess emulator_;
    pid_t pid_ = -1;
};

}  // namespace testsupport
