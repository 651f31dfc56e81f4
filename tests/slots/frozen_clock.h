#pragma once

// The reactor's clock held still for the time-outs of slots: the time a test names is the time
// the timers see, whatever the machine's load.

#include "foundation/reactor/clock.h"
#include "foundation/reactor/dpc.h"
#include "foundation/reactor/multiplexer.h"

class FrozenClock {
public:
    FrozenClock()
    {
        Mux::gettimeval(start);
        Mux::set_cached_time_for_tests(start);
    }
    ~FrozenClock() { Mux::clear_cached_time_for_tests(); }
    FrozenClock(const FrozenClock&) = delete;
    FrozenClock& operator=(const FrozenClock&) = delete;

    // One reactor pass `ms` after the clock stopped: the timers then due fire, and a deferred call
    // ends the loop before it would wait.
    void pass_at(unsigned ms)
    {
        Mux::timeval now = start;
        Mux::timevaladd(now, Mux::make_from_msec(ms));
        Mux::set_cached_time_for_tests(now);
        Dpc stop;
        stop.Bind(new DpcHandler1([] { multiplexer.terminate(); }));
        stop.Activate();
        multiplexer.run(false, true);
        stop.Deactivate();
    }

private:
    Mux::timeval start;
};
