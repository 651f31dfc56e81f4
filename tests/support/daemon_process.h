#pragma once

// The daemon of this build on the board emulator, and the loopback connections through which a
// controller reaches it. Header-only, so that the benchmarks, which are built without the test
// support library, start it the same way.

#include "emulator_process.h"
#include "temp_root.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <set>

namespace testsupport {

inline sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A loopback port that nothing used a moment ago; another process may take it any time.
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

    bool connect_to(int port)
    {
        sockaddr_in address = loopback(port);
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            return false;
        int on = 1;
        setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        return true;
    }

    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

// Whether the process itself has a socket listening on the TCP port: the kernel's table of
// sockets gives the listener's inode, and one of the process's descriptors links to it.
inline bool listens_on(pid_t pid, int port)
{
    std::set<std::string> sockets;
    std::error_code ignored;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ignored))
        sockets.insert(std::filesystem::read_symlink(fd.path(), ignored).string());
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);
    while (std::getline(table, line)) {
        // "sl local_address rem_address st tx_queue:rx_queue tr:tm->when retrnsmt uid timeout inode",
        // the address as hex "ADDR:PORT"; LISTEN is state 0A.
        std::istringstream fields(line);
        std::string field[10];
        for (std::string& text : field)
            fields >> text;
        if (field[3] == "0A" && std::stoi(field[1].substr(field[1].find(':') + 1), nullptr, 16) == port &&
            sockets.count("socket:[" + field[9] + "]"))
            return true;
    }
    return false;
}

// Starts the daemon of this build in the root, "tovrasel --port <port>" and the arguments, its
// streams going to tovrasel.out and .err there, on a port that was free a moment ago; waits until
// the daemon itself listens on the port and `ready` holds. Another process may take the port
// first: the daemon then says that it cannot bind (and would retry for ever), so it is killed,
// `again` runs, and it starts anew on another port. Throws std::runtime_error when it ends at
// start or does not come up.
inline std::unique_ptr<ProgramProcess> start_daemon(const std::string& root, const std::vector<std::string>& arguments,
                                                    int& port, const std::function<bool()>& ready,
                                                    const std::function<void()>& again)
{
    for (const char* directory : {"/var/run", "/var/log", "/usr/local/etc"})
        std::filesystem::create_directories(root + directory);
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (attempt > 0)
            again();
        port = unused_port();
        std::vector<std::string> all{"--port", std::to_string(port)};
        all.insert(all.end(), arguments.begin(), arguments.end());
        auto daemon = std::make_unique<ProgramProcess>(build_program("tovrasel"), all, root, "tovrasel");
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (daemon->errors().find("can't bind to socket") == std::string::npos) {
            if (listens_on(daemon->pid(), port) && ready())
                return daemon;
            if (!daemon->running())
                throw std::runtime_error("tovrasel ended at start: " + daemon->errors());
            if (std::chrono::steady_clock::now() > deadline)
                throw std::runtime_error("tovrasel does not come up on port " + std::to_string(port));
            std::this_thread::sleep_for(milliseconds(5));
        }
    }
    throw std::runtime_error("other processes took every port tovrasel was given");
}

// The board emulator and the daemon in a fresh root, the daemon's streams going to files there.
class DaemonProcess {
public:
    DaemonProcess() : daemon_(start_daemon(root_.path(), {}, port_, [] { return true; }, [] {})) {}

    int port() const { return port_; }

private:
    TempRoot root_;
    EmulatorProcess emulator_{root_.path()};
    int port_ = 0;
    std::unique_ptr<ProgramProcess> daemon_;
};

}  // namespace testsupport
