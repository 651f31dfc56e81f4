// Driver requests through the board emulator. One ordinary request (a disable of the TDM switch,
// answered) beside the reference, a bare SOCK_SEQPACKET round trip of the same sizes between two
// processes: the emulator should add little to it; both after the round trips settle. Then the TDM
// switch's refresh run, 128 neighbouring outputs' disables posted at once as the switch posts them,
// over a million disables; the emulator's resident memory before and after is reported: the refresh
// must not make it grow. TOVRASEL_BENCH_SPIN=1 keeps the cores awake during the round trips
// (core_spinners.h).

#include "core_spinners.h"
#include "foundation/os/big_endian.h"
#include "foundation/os/device.h"
#include "tests/support/emulator_process.h"

#include <benchmark/benchmark.h>

#include <array>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

long resident_kib(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

constexpr uint32_t disable_code = 0x80044D03;
constexpr int refresh_run = 128;

// The emulator in a fresh root with "/dev/hal" open, for the duration of one benchmark.
class EmulatedHal {
public:
    EmulatedHal() : root_((std::filesystem::temp_directory_path() / "tovrasel-bench-XXXXXX").string())
    {
        if (!mkdtemp(root_.data()))
            throw std::runtime_error("cannot create a temporary root");
        setenv("TOVRASEL_ROOT", root_.c_str(), 1);
        emulator_ = std::make_unique<testsupport::EmulatorProcess>(root_);
        hal = Device::open("/dev/hal", O_RDWR);
    }
    ~EmulatedHal()
    {
        hal.close();
        emulator_.reset();
        unsetenv("TOVRASEL_ROOT");
        std::filesystem::remove_all(root_);
    }
    pid_t pid() const { return emulator_->pid(); }

    Fd hal;

private:
    std::string root_;
    std::unique_ptr<testsupport::EmulatorProcess> emulator_;
};

std::array<uint8_t, 4> disable_record(int output)
{
    std::array<uint8_t, 4> record;
    BigEndian::put_i32(record.data(), 0, 8192 + output % 2048);
    return record;
}

void BM_DeviceRequest(benchmark::State& state)
{
    EmulatedHal board;
    if (!board.hal) {
        state.SkipWithError("cannot open /dev/hal on the emulator");
        return;
    }
    CoreSpinners spinners;
    state.counters["spinning"] = spinners.spinning();
    int output = 0;
    auto disable = [&] { return Device::request_in(board.hal, disable_code, disable_record(output++)) == 0; };
    if (!settle(disable)) {
        state.SkipWithError("disable failed");
        return;
    }
    for (auto _ : state) {
        if (!disable()) {
            state.SkipWithError("disable failed");
            break;
        }
    }
}
BENCHMARK(BM_DeviceRequest)->Iterations(200000)->Unit(benchmark::kMicrosecond);

// The reference: a request-sized message to a child process that answers with a reply-sized one.
void BM_SeqpacketRoundTrip(benchmark::State& state)
{
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
        state.SkipWithError("no socket pair");
        return;
    }
    pid_t child = fork();
    if (child == 0) {
        close(pair[0]);
        uint8_t message[64];
        while (recv(pair[1], message, sizeof message, 0) > 0)
            if (send(pair[1], message, 12, MSG_NOSIGNAL) < 0)
                break;
        _exit(0);
    }
    close(pair[1]);
    CoreSpinners spinners;
    state.counters["spinning"] = spinners.spinning();
    uint8_t message[22] = {'r'}, reply[64];
    auto round_trip = [&] {
        return send(pair[0], message, sizeof message, MSG_NOSIGNAL) >= 0 && recv(pair[0], reply, sizeof reply, 0) > 0;
    };
    bool answering = settle(round_trip);
    if (answering) {
        for (auto _ : state)
            if (!(answering = round_trip()))
                break;
    }
    if (!answering)
        state.SkipWithError("the peer stopped answering");
    close(pair[0]);
    waitpid(child, nullptr, 0);
}
BENCHMARK(BM_SeqpacketRoundTrip)->Iterations(200000)->Unit(benchmark::kMicrosecond);

// One refresh run per iteration; the time per disable is the counter.
void BM_SwitchRefreshRun(benchmark::State& state)
{
    EmulatedHal board;
    if (!board.hal) {
        state.SkipWithError("cannot open /dev/hal on the emulator");
        return;
    }
    long before = resident_kib(board.pid());
    int output = 0;
    for (auto _ : state) {
        Device::post_counting_in(board.hal, disable_code, disable_record(output).data(), 4, refresh_run);
        output = (output + refresh_run) % 2048;
    }
    // An ordinary request waits for every posted one before it: the run's whole cost is in.
    Device::request_in(board.hal, disable_code, disable_record(0));
    state.counters["disable_us"] = benchmark::Counter(static_cast<double>(state.iterations() * refresh_run),
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["emulator_rss_kib"] = static_cast<double>(resident_kib(board.pid()));
    state.counters["emulator_rss_growth_kib"] = static_cast<double>(resident_kib(board.pid()) - before);
}
BENCHMARK(BM_SwitchRefreshRun)->Iterations(1000000 / refresh_run)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
