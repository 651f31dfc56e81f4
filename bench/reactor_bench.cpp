// Reactor hot paths: arming and firing timers, and dispatch passes over many descriptors.

#include "foundation/reactor/event.h"
#include "foundation/reactor/multiplexer.h"
#include "foundation/reactor/timer.h"

#include <benchmark/benchmark.h>

#include <iostream>
#include <memory>
#include <vector>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kTimers = 1000000;
constexpr int kDescriptors = 64;
constexpr int kPasses = 100000;

// Keeps the loop's "Mux: terminating..." lines out of the report.
class QuietLog {
public:
    QuietLog() : saved_(std::clog.rdbuf(nullptr)) {}
    ~QuietLog()
    {
        std::clog.rdbuf(saved_);
        std::clog.clear();
    }

private:
    std::streambuf* saved_;
};

// Counts its firings; the last one of a batch ends the loop.
class CountingTimer : public TimerEvent {
public:
    void fire() override
    {
        if (++*fired == kTimers)
            multiplexer.terminate();
    }
    int* fired = nullptr;
};

void BM_ArmAndFireTimers(benchmark::State& state)
{
    std::vector<CountingTimer> timers(kTimers);
    int fired = 0;
    for (CountingTimer& timer : timers)
        timer.fired = &fired;
    QuietLog quiet;
    for (auto _ : state) {
        fired = 0;
        for (CountingTimer& timer : timers)
            timer.schedule(0);
        multiplexer.run(false, true);
    }
    state.counters["per_timer"] =
        benchmark::Counter(kTimers, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ArmAndFireTimers)->Unit(benchmark::kMillisecond);

// Descriptors that stay readable, so that every poll reports all of them at once.
class ReadyDescriptors {
public:
    ReadyDescriptors()
    {
        for (int i = 0; i < kDescriptors; ++i) {
            int ends[2];
            if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0 || write(ends[1], "x", 1) != 1)
                abort();
            events_.push_back(std::make_unique<Event>());
            events_.back()->Bind("bench", &ReadyDescriptors::on_event, this);
            events_.back()->Schedule(ends[0], POLLIN);
            close(ends[0]);
            close(ends[1]);
        }
    }

    void run_passes()
    {
        calls_ = 0;
        multiplexer.run(false, true);
    }

private:
    void on_event(int, short revents)
    {
        benchmark::DoNotOptimize(revents);
        if (++calls_ == kPasses * kDescriptors)
            multiplexer.terminate();
    }

    std::vector<std::unique_ptr<Event>> events_;
    long calls_ = 0;
};

void BM_DispatchPasses(benchmark::State& state)
{
    ReadyDescriptors descriptors;
    QuietLog quiet;
    for (auto _ : state)
        descriptors.run_passes();
    state.counters["per_pass"] =
        benchmark::Counter(kPasses, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["per_handler"] = benchmark::Counter(
        double(kPasses) * kDescriptors, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DispatchPasses)->Unit(benchmark::kMillisecond);

}  // namespace
