// Controller round trips through the running daemon: pings, which the heartbeat service answers,
// one at a time and 32 in flight. Beside them the same client against a minimal TPKT echo peer
// on loopback: the reference that shows what the daemon itself adds to a round trip.

#include "tests/support/emulator_process.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// {seq 7, command ping}; the daemon's answer and the echo are 8 bytes as well.
const uint8_t ping[] = {0x03, 0x00, 0x00, 0x08, 0x80, 0x01, 0x07, 0x18};
constexpr size_t frame_size = sizeof ping;

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

class PingClient {
public:
    ~PingClient()
    {
        if (fd_ >= 0)
            close(fd_);
    }

    // Retries while nothing listens yet.
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

    // Sends `count` pings at once and waits for as many answers.
    bool round_trips(int count)
    {
        std::vector<uint8_t> burst;
        for (int i = 0; i < count; ++i)
            burst.insert(burst.end(), ping, ping + frame_size);
        if (send(fd_, burst.data(), burst.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(burst.size()))
            return false;
        for (size_t received = 0; received < burst.size();) {
            ssize_t length = recv(fd_, burst.data(), burst.size() - received, 0);
            if (length <= 0)
                return false;
            received += length;
        }
        return true;
    }

private:
    int fd_ = -1;
};

// Accepts one client and sends every whole TPKT frame back as it came.
class EchoPeer {
public:
    EchoPeer()
    {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = loopback(0);
        socklen_t length = sizeof address;
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener_, 1);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~EchoPeer()
    {
        shutdown(listener_, SHUT_RDWR);
        thread_.join();
        close(listener_);
    }

    int port;

private:
    void serve()
    {
        int fd = accept(listener_, nullptr, nullptr);
        if (fd < 0)
            return;
        int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        std::vector<uint8_t> pending;
        uint8_t buffer[65536];
        for (ssize_t length; (length = recv(fd, buffer, sizeof buffer, 0)) > 0;) {
            pending.insert(pending.end(), buffer, buffer + length);
            size_t whole = 0;
            while (pending.size() - whole >= 4) {
                size_t frame = size_t{pending[whole + 2]} << 8 | pending[whole + 3];
                if (frame < 4 || pending.size() - whole < frame)
                    break;
                whole += frame;
            }
            if (whole && send(fd, pending.data(), whole, MSG_NOSIGNAL) != static_cast<ssize_t>(whole))
                break;
            pending.erase(pending.begin(), pending.begin() + whole);
        }
        close(fd);
    }

    int listener_;
    std::thread thread_;
};

// The board emulator and the daemon in a fresh root, stopped with SIGTERM at the end.
class RunningDaemon {
public:
    explicit RunningDaemon(int port) : root_(make_root()), emulator_(root_)
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
    ~RunningDaemon()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        emulator_.stop();
        unsetenv("TOVRASEL_ROOT");
        std::filesystem::remove_all(root_);
    }

private:
    static std::string make_root()
    {
        std::string root = (std::filesystem::temp_directory_path() / "tovrasel-bench-XXXXXX").string();
        if (!mkdtemp(root.data()))
            throw std::runtime_error("cannot create a temporary root");
        for (const char* directory : {"/var/run", "/var/log", "/usr/local/etc"})
            std::filesystem::create_directories(root + directory);
        setenv("TOVRASEL_ROOT", root.c_str(), 1);
        return root;
    }

    std::string root_;
    testsupport::EmulatorProcess emulator_;
    pid_t pid_ = -1;
};

int unused_port()
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

void measure(benchmark::State& state, PingClient& client)
{
    const int in_flight = static_cast<int>(state.range(0));
    for (auto _ : state) {
        if (!client.round_trips(in_flight)) {
            state.SkipWithError("the peer stopped answering");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * in_flight);
}

void BM_DaemonPing(benchmark::State& state)
{
    int port = unused_port();
    RunningDaemon daemon(port);
    PingClient client;
    if (!client.connect_to(port)) {
        state.SkipWithError("the daemon does not listen");
        return;
    }
    measure(state, client);
}

void BM_EchoPeerPing(benchmark::State& state)
{
    EchoPeer peer;
    PingClient client;
    if (!client.connect_to(peer.port)) {
        state.SkipWithError("the echo peer does not listen");
        return;
    }
    measure(state, client);
}

BENCHMARK(BM_DaemonPing)->Arg(1)->Arg(32)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_EchoPeerPing)->Arg(1)->Arg(32)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
