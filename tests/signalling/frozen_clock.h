#pragma once

// The reactor's clock, frozen so that the links' timers fire only when a test moves it.

#include "foundation/reactor/clock.h"
#include "foundation/reactor/dpc.h"
#include "foundation/reactor/multiplexer.h"
#include "foundation/reactor/timer.h"

namespace signallingtest {

// The clock stands still from construction on and moves only by advance(), which then runs one
// reactor pass: whatever fell due fires. The guard keeps the pass from finding nothing to wait for.
struct FrozenClock {
    FrozenClock() { Mux::gettimeval(now), Mux::set_cached_time_for_tests(now); }
    ~FrozenClock() { Mux::clear_cached_time_for_tests(); }
    void advance(unsigned ms)
    {
        Mux::timevaladd(now, Mux::make_from_msec(ms)), Mux::set_cached_time_for_tests(now);
        Timer guard;
        guard.set(3600000, [] {});
        Dpc stop;
        stop.Bind(new DpcHandler1([] { multiplexer.terminate(); }));
        stop.Activate(), multiplexer.run(false, true);
    }
    Mux::timeval now;
};

}  // namespace signallingtest
