#pragma once

// Runs the process's reactor until a condition holds, for tests of code that lives on it: the
// condition is checked every few milliseconds from a timer, and a time limit ends the run when it
// never holds. Header-only, like the reactor it drives.

#include "foundation/reactor/multiplexer.h"
#include "foundation/reactor/timer.h"

#include <chrono>
#include <functional>

namespace testsupport {

class ReactorUntil {
public:
    ReactorUntil(std::function<bool()> done, unsigned limit_ms, unsigned interval_ms)
        : done_(std::move(done)), interval_ms_(interval_ms),
          deadline_(std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms))
    {
    }

    // Whether the condition held before the limit.
    bool run()
    {
        if (done_())
            return true;
        tick_.set(interval_ms_, &ReactorUntil::check, this);
        multiplexer.run(false, true);
        tick_.reset();
        return held_;
    }

private:
    void check()
    {
        held_ = done_();
        if (held_ || std::chrono::steady_clock::now() > deadline_)
            multiplexer.terminate();
        else
            tick_.set(interval_ms_, &ReactorUntil::check, this);
    }

    std::function<bool()> done_;
    unsigned interval_ms_;
    std::chrono::steady_clock::time_point deadline_;
    Timer tick_;
    bool held_ = false;
};

// Runs the reactor until `done` holds, at most limit_ms; whether it held.
inline bool run_reactor_until(std::function<bool()> done, unsigned limit_ms = 10000, unsigned interval_ms = 2)
{
    return ReactorUntil(std::move(done), limit_ms, interval_ms).run();
}

// Runs the reactor for about the given time, so that whatever is due happens.
inline void run_reactor_for(unsigned ms)
{
    run_reactor_until([] { return false; }, ms, ms);
}

}  // namespace testsupport
