// Controller round trips through the running daemon: pings, which the heartbeat service answers,
// one at a time and 32 in flight. Beside them the same client against a minimal TPKT echo peer
// on loopback: the reference that shows what the daemon itself adds to a round trip. The median,
// mean and 99th percentile of the round trips (of a whole burst, with 32 in flight) are counters.

#include "tests/support/daemon_process.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdint>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <numeric>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// {seq 7, command ping}; the daemon's answer and the echo are 8 bytes as well.
const uint8_t ping[] = {0x03, 0x00, 0x00, 0x08, 0x80, 0x01, 0x07, 0x18};
constexpr size_t frame_size = sizeof ping;

using testsupport::loopback;

// A controller that sends pings in bursts.
class PingClient : public testsupport::LoopbackConnection {
public:
    // Sends `count` pings at once and waits for as many answers.
    bool round_trips(int count)
    {
        std::vector<uint8_t> burst;
        for (int i = 0; i < count; ++i)
            burst.insert(burst.end(), ping, ping + frame_size);
        if (send(fd(), burst.data(), burst.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(burst.size()))
            return false;
        for (size_t received = 0; received < burst.size();) {
            ssize_t length = recv(fd(), burst.data(), burst.size() - received, 0);
            if (length <= 0)
                return false;
            received += length;
        }
        return true;
    }
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

void measure(benchmark::State& state, PingClient& client)
{
    const int in_flight = static_cast<int>(state.range(0));
    std::vector<double> round_trips_us;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!client.round_trips(in_flight)) {
            state.SkipWithError("the peer stopped answering");
            break;
        }
        round_trips_us.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    state.SetItemsProcessed(state.iterations() * in_flight);
    if (round_trips_us.empty())
        return;
    std::sort(round_trips_us.begin(), round_trips_us.end());
    state.counters["median_us"] = round_trips_us[round_trips_us.size() / 2];
    state.counters["mean_us"] = std::accumulate(round_trips_us.begin(), round_trips_us.end(), 0.0) / round_trips_us.size();
    state.counters["p99_us"] = round_trips_us[round_trips_us.size() * 99 / 100];
}

void BM_DaemonPing(benchmark::State& state)
{
    testsupport::DaemonProcess daemon;
    PingClient client;
    if (!client.connect_to(daemon.port())) {
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
