#pragma once

// Keeps every core awake while a latency benchmark measures: on a virtual machine an idle CPU takes
// tens of microseconds to wake, which a round trip between processes pays once or twice. When
// TOVRASEL_BENCH_SPIN is set (and not "0"), one process per online core spins at nice 19 while the
// object lives, so that the measured processes always find their CPU running and win it at once.

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
