#pragma once

// The reactor's clock held still, so that time-outs fire only when a test moves it: the time a
// test names is the time the timers see, whatever the machine's load.

#include "foundation/reactor/clock.h"
#include "foundation/reactor/dpc.h"
#include "foundation/reactor/multiplexer.h"
#include "foundation/reactor/timer.h"

namespace testsupport {

class FrozenClock {
public:
    FrozenClock()
    {
        Mux::gettimeval(now_);
        Mux::set_cached_time_for_tests(now_);
    }
    ~FrozenClock() { Mux::clear_cached_time_for_tests(); }
    FrozenClock(const FrozenClock&) = delete;
    FrozenClock& operator=(const FrozenClock&) = delete;

    // Moves the clock on by `ms` and runs one reactor pass: whatever fell due fires, and a deferred
    // call ends the loop before it would wait. The guard keeps the pass from finding nothing to
    // wait for.
    void advance(unsigned ms)
    {
        elapsed_ms_ += ms;
        Mux::timevaladd(now_, Mux::make_from_msec(ms));
        Mux::set_cached_time_for_tests(now_);
        Timer guard;
        guard.set(3600000, [] {});
        Dpc stop;
        stop.Bind(new DpcHandler1([] { multiplexer.terminate(); }));
        stop.Activate();
        multiplexer.run(false, true);
        stop.Deactivate();
    }
    // advance() to `ms` after the clock stopped.
    void advance_to(unsigned ms) { advance(ms - elapsed_ms_); }

private:
    Mux::timeval now_;
    unsigned elapsed_ms_ = 0;
};

}  // namespace testsupport
