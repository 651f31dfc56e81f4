#pragma once

// Keeps every core awake while a latency benchmark measures: on a virtual machine an idle CPU takes
// tens of microseconds to wake, which a round trip between processes pays once or twice. When
// TOVRASEL_BENCH_SPIN is set (and not "0"), one process per online core spins at nice 19 while the
// object lives, so that the measured processes always find their CPU running and win it at once.

#include <chrono>
#include <sys/types.h>
#include <vector>

class CoreSpinners {
public:
    CoreSpinners();
    ~CoreSpinners();
    CoreSpinners(const CoreSpinners&) = delete;
    CoreSpinners& operator=(const CoreSpinners&) = delete;

    // Whether the spinners run: the benchmarks report it beside their figures.
    bool spinning() const { return !spinners_.empty(); }

private:
    std::vector<pid_t> spinners_;
};

// Makes round trips unmeasured for a second, so that a benchmark measures the settled round trip:
// for some hundreds of milliseconds after a peer process and the spinners start, the scheduler
// often keeps the two ends on different cores, where every wake-up waits for an interprocessor
// interrupt (~20 us on the virtual machines we measure on). False when a round trip fails.
template <class RoundTrip>
bool settle(RoundTrip round_trip)
{
    using Clock = std::chrono::steady_clock;
    for (const auto start = Clock::now(); Clock::now() - start < std::chrono::seconds(1);)
        if (!round_trip())
            return false;
    return true;
}
