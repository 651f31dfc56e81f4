// Controller round trips through the running daemon: pings, which the heartbeat service answers,
// one at a time and 32 in flight. Beside them the same client against a minimal TPKT echo peer,
// a process of its own like the daemon that answers each frame with a write of its own: the
// reference that shows what the daemon itself adds to a round trip. The client reads the frames
// that come back and counts a round trip only when the answer to its own ping arrives (the daemon
// also sends trunk status signals). The median, mean and 99th percentile of the round trips (with
// 32 in flight, of a whole burst) are counters; TOVRASEL_BENCH_SPIN=1 keeps the cores awake while
// measuring (core_spinners.h). Each row runs once, a fixed count, after the round trips settle.

#include "core_spinners.h"
#include "tests/support/daemon_process.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <numeric>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t header_size = 4;
// { seq <s>, pdu command : ping : NULL } and its answer { seq <s>, pdu response : success : NULL },
// TPKT frames of 8 bytes with the seq (0 to 127, one byte) at byte 6. The echo peer returns the
// ping itself, which the client takes as the answer there.
constexpr std::array<uint8_t, 8> ping{0x03, 0x00, 0x00, 0x08, 0x80, 0x01, 0x00, 0x18};
constexpr std::array<uint8_t, 8> success{0x03, 0x00, 0x00, 0x08, 0x80, 0x01, 0x00, 0x40};
constexpr size_t seq_at = 6;
constexpr int seq_count = 128;

using Clock = std::chrono::steady_clock;
using testsupport::loopback;

// A controller that sends pings in bursts and waits for the answer to each. Its buffers are made
// once, so that a round trip holds little of the client's own work.
class PingClient : public testsupport::LoopbackConnection {
public:
    explicit PingClient(const std::array<uint8_t, 8>& answer) : answer_(answer) {}

    // Sends `count` pings at once, each with a seq of its own, and waits until each has its answer;
    // other frames are passed over. False when the connection ends first.
    bool round_trips(int count)
    {
        burst_.clear();
        for (int i = 0; i < count; ++i, next_seq_ = (next_seq_ + 1) % seq_count) {
            burst_.insert(burst_.end(), ping.begin(), ping.end());
            burst_[burst_.size() - ping.size() + seq_at] = static_cast<uint8_t>(next_seq_);
            waiting_[next_seq_] = true;
        }
        if (send(fd(), burst_.data(), burst_.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(burst_.size()))
            return false;
        for (int answered = 0; answered < count;) {
            size_t length;
            if (!next_frame(length))
                return false;
            const uint8_t* frame = received_.data() + head_;
            if (length == answer_.size() && std::equal(frame, frame + seq_at, answer_.begin()) &&
                frame[seq_at + 1] == answer_[seq_at + 1] && frame[seq_at] < seq_count && waiting_[frame[seq_at]]) {
                waiting_[frame[seq_at]] = false;
                ++answered;
            }
            head_ += length;
        }
        return true;
    }

private:
    // The length of the next whole TPKT frame received, which begins at head_; false when the
    // connection ends or carries no TPKT.
    bool next_frame(size_t& length)
    {
        for (;;) {
            const size_t held = tail_ - head_;
            const uint8_t* frame = received_.data() + head_;
            if (held >= header_size) {
                length = size_t{frame[2]} << 8 | frame[3];
                if (frame[0] != 3 || length < header_size)
                    return false;
                if (held >= length)
                    return true;
            }
            std::copy(received_.begin() + head_, received_.begin() + tail_, received_.begin());
            head_ = 0;
            tail_ = held;
            ssize_t got = recv(fd(), received_.data() + tail_, received_.size() - tail_, 0);
            if (got <= 0)
                return false;
            tail_ += got;
        }
    }

    std::array<uint8_t, 8> answer_;
    std::vector<uint8_t> burst_;
    std::array<bool, seq_count> waiting_{};
    // What was received: the frames not taken yet between head_ and tail_.
    std::vector<uint8_t> received_ = std::vector<uint8_t>(2 * 65536);
    size_t head_ = 0;
    size_t tail_ = 0;
    int next_seq_ = 0;
};

// A child process that accepts one client on loopback and echoes each TPKT frame: it takes the
// frames out of what each read brings one by one and sends each back with a write of its own, as a
// controller's peer that answers each command. It ends with the object.
class EchoPeer {
public:
    EchoPeer()
    {
        int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = loopback(0);
        socklen_t length = sizeof address;
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener, 1);
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            serve(listener);
            _exit(0);
        }
        close(listener);
    }
    ~EchoPeer()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    EchoPeer(const EchoPeer&) = delete;
    EchoPeer& operator=(const EchoPeer&) = delete;

    int port = 0;

private:
    static void serve(int listener)
    {
        int fd = accept(listener, nullptr, nullptr);
        if (fd < 0)
            return;
        int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        std::vector<uint8_t> received(2 * 65536);
        size_t held = 0;
        for (ssize_t got; (got = recv(fd, received.data() + held, received.size() - held, 0)) > 0;) {
            held += got;
            size_t taken = 0;
            while (held - taken >= header_size) {
                const uint8_t* frame = received.data() + taken;
                const size_t length = size_t{frame[2]} << 8 | frame[3];
                if (frame[0] != 3 || length < header_size)
                    return;
                if (held - taken < length)
                    break;
                if (send(fd, frame, length, MSG_NOSIGNAL) != static_cast<ssize_t>(length))
                    return;
                taken += length;
            }
            std::copy(received.begin() + taken, received.begin() + held, received.begin());
            held -= taken;
        }
    }

    pid_t pid_ = -1;
};

void measure(benchmark::State& state, PingClient& client, const CoreSpinners& spinners)
{
    const int in_flight = static_cast<int>(state.range(0));
    if (!settle([&] { return client.round_trips(in_flight); })) {
        state.SkipWithError("the peer stopped answering");
        return;
    }
    std::vector<double> round_trips_us;
    round_trips_us.reserve(state.max_iterations);
    for (auto _ : state) {
        const auto start = Clock::now();
        if (!client.round_trips(in_flight)) {
            state.SkipWithError("the peer stopped answering");
            break;
        }
        round_trips_us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    state.SetItemsProcessed(state.iterations() * in_flight);
    state.counters["spinning"] = spinners.spinning();
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
    PingClient client(success);
    if (!client.connect_to(daemon.port())) {
        state.SkipWithError("the daemon does not listen");
        return;
    }
    CoreSpinners spinners;
    measure(state, client, spinners);
}

void BM_EchoPeerPing(benchmark::State& state)
{
    EchoPeer peer;
    PingClient client(ping);
    if (!client.connect_to(peer.port)) {
        state.SkipWithError("the echo peer does not listen");
        return;
    }
    CoreSpinners spinners;
    measure(state, client, spinners);
}

// Each row the same number of pings, one at a time or 32 at a time.
constexpr int pings_per_row = 300000;
BENCHMARK(BM_DaemonPing)->Arg(1)->Iterations(pings_per_row)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_DaemonPing)->Arg(32)->Iterations(pings_per_row / 32)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_EchoPeerPing)->Arg(1)->Iterations(pings_per_row)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_EchoPeerPing)->Arg(32)->Iterations(pings_per_row / 32)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
