#pragma once

// Runs this process's reactor for a test that drives peers inside it (libpri, libss7).

#include "foundation/reactor/dpc.h"
#include "foundation/reactor/multiplexer.h"
#include "foundation/reactor/timer.h"

#include <chrono>
#include <functional>

namespace testsupport {

// Runs the reactor until done() holds, at most limit_ms of real time, calling each_pass on every
// pass, which comes at least every millisecond; whether done() held.
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

}  // namespace testsupport
