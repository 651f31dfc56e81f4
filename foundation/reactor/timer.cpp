#include "foundation/reactor/timer.h"

#include "foundation/reactor/clock.h"
#include "foundation/reactor/multiplexer.h"

TimerEvent::~TimerEvent() { reset(); }

void TimerEvent::schedule(unsigned ms)
{
    due_ = Mux::milliseconds() + ms;
    multiplexer.set(this);
}

void TimerEvent::reset() { multiplexer.reset(this); }

void Timer::reset(TimerEvent* event)
{
    TimerEvent* old = event_;
    event_ = event;
    if (old != event)
        delete old;
}

TimerEvent* Timer::release()
{
    TimerEvent* event = event_;
    event_ = nullptr;
    if (auto* owned = dynamic_cast<OwnedTimerEvent*>(event))
        owned->owner_ = nullptr;
    return event;
}

void Timer::set(unsigned ms, void (*function)()) { reset(new SimpleTimerEvent1(this, ms, function)); }

Timer* OwnedTimerEvent::release_owner()
{
    // Not through release(): this event already knows that it is no longer held.
    Timer* owner = owner_;
    if (owner && owner->event_ == this)
        owner->event_ = nullptr;
    return owner;
}

SimpleTimerEvent1::SimpleTimerEvent1(Timer* owner, unsigned ms, Function function)
    : OwnedTimerEvent(owner), function_(function)
{
    schedule(ms);
}

void SimpleTimerEvent1::fire()
{
    release_owner();
    function_();
    delete this;
}
