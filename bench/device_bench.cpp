// One driver request through the board emulator: the TDM switch's refresh issues 256 of them per
// reactor pass, so each must cost tens of microseconds at most for the daemon to stay responsive.
// The run is a million refresh disables, and the emulator's resident memory before and after is
// reported: the refresh must not make it grow.

#include "foundation/os/big_endian.h"
#include "foundation/os/device.h"
#include "tests/support/emulator_process.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

long resident_kib(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

void BM_SwitchRefreshRequest(benchmark::State& state)
{
    std::string root = (std::filesystem::temp_directory_path() / "tovrasel-bench-XXXXXX").string();
    if (!mkdtemp(root.data())) {
        state.SkipWithError("cannot create a temporary root");
        return;
    }
    setenv("TOVRASEL_ROOT", root.c_str(), 1);
    {
        testsupport::EmulatorProcess emulator(root);
        Fd hal = Device::open("/dev/hal", O_RDWR);
        if (!hal) {
            state.SkipWithError("cannot open /dev/hal on the emulator");
        } else {
            std::array<uint8_t, 4> record;
            long before = resident_kib(emulator.pid());
            int output = 0;
            for (auto _ : state) {
                BigEndian::put_i32(record.data(), 0, 8192 + output);
                output = (output + 1) % 2048;
                if (Device::request_in(hal, 0x80044D03, record) != 0) {
                    state.SkipWithError("disable failed");
                    break;
                }
            }
            state.counters["emulator_rss_kib"] = static_cast<double>(resident_kib(emulator.pid()));
            state.counters["emulator_rss_growth_kib"] = static_cast<double>(resident_kib(emulator.pid()) - before);
            hal.close();
        }
    }
    unsetenv("TOVRASEL_ROOT");
    std::filesystem::remove_all(root);
}

BENCHMARK(BM_SwitchRefreshRequest)->Iterations(1000000)->Unit(benchmark::kMicrosecond);

}  // namespace
