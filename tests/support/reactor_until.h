#pragma once

// Runs the process's reactor until a condition holds, for tests of code that lives on it: the
// condition is checked every few milliseconds from a timer, and a time limit ends the run when it
// never holds. Header-only, like the reactor it drives.

#include "foundation/reactor/dpc.h"
#include "foundation/reactor/multiplexer.h"
#include "foundation/reactor/timer.h"

#include <chrono>
#include <functional>

namespace testsupport {

// Runs the reactor until `done` holds, at most limit_ms; whether it held.
inline bool run_reactor_until(std::function<bool()> done, unsigned limit_ms = 10000, unsigned interval_ms = 2)
{
    struct Watch {
        void check()
        {
            held = done();
            if (held || std::chrono::steady_clock::now() > deadline)
                multiplexer.terminate();
            else
                tick.set(interval_ms, &Watch::check, this);
        }
        std::function<bool()> done;
        unsigned interval_ms;
        std::chrono::steady_clock::time_point deadline;
        Timer tick{};
        bool held = false;
    } watch{std::move(done), interval_ms, std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms)};
    if (watch.done())
        return true;
    watch.tick.set(interval_ms, &Watch::check, &watch);
    multiplexer.run(false, true);
    return watch.held;
}

// Runs the reactor until done() holds, at most limit_ms of real time, calling each_pass on every
// pass, which comes at least every millisecond: for a test that drives peers inside this process
// (libpri, libss7), also on a frozen clock. Whether done() held.
inline bool run_reactor_until(const std::function<bool()>& done, unsigned limit_ms,
                              const std::function<void()>& each_pass)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
    Timer tick;  // keeps each poll to a millisecond (on a frozen clock it never falls due)
    struct Pass {
        void run() { step(); }
        std::function<void()> step;
    } pass{[&] {
        tick.set(1, [] {});
        each_pass();
        if (done() || std::chrono::steady_clock::now() > deadline)
            multiplexer.terminate();
    }};
    Dpc dpc;
    dpc.Bind(&pass, &Pass::run), dpc.Activate();
    tick.set(1, [] {});
    multiplexer.run(false, true);
    return done();
}

// Runs the reactor for about the given time, so that whatever is due happens.
inline void run_reactor_for(unsigned ms)
{
    run_reactor_until([] { return false; }, ms, ms);
}

}  // namespace testsupport
