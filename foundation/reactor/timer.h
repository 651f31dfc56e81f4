#pragma once

// One-shot timers of the reactor. A TimerEvent is due at a time on the wrapping
// Mux::milliseconds() scale; a Timer owns at most one pending event and cancels it when it is
// replaced or destroyed. The event releases its Timer before calling back and deletes itself
// afterwards, so periodic work re-arms its Timer from inside the callback.

#include "foundation/reactor/intrusive_list.h"

#include <cstdint>

class Multiplexer;

class TimerEvent : public F_dual_list_item<TimerEvent> {
public:
    TimerEvent() = default;
    TimerEvent(const TimerEvent&) = delete;
    TimerEvent& operator=(const TimerEvent&) = delete;
    // Unschedules a pending event.
    virtual ~TimerEvent();
    virtual void fire() = 0;

    // Due in ms from now (wrapping), placed after the timers already due at that time.
    void schedule(unsigned ms);
    void reset();
    // The signed distance of the due times: negative when this one is due first.
    int32_t compare(const TimerEvent* other) const { return int32_t(due_ - other->due_); }
    uint32_t due() const { return due_; }

private:
    friend class Multiplexer;
    uint32_t due_ = 0;
};

class Timer {
public:
    Timer() = default;
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    ~Timer() { reset(); }

    TimerEvent* get() const { return event_; }
    // Deletes the held event unless it is the given one, then holds the given one.
    void reset(TimerEvent* event = nullptr);
    // Gives up the held event without deleting it; an event this Timer armed forgets the Timer,
    // which may be gone when the event fires.
    TimerEvent* release();

    // Arms a call of object->method() (or object->method(this)) in ms; a pending one is cancelled.
    template <class X>
    void set(unsigned ms, void (X::*method)(), X* object);
    template <class X>
    void set(unsigned ms, void (X::*method)(Timer*), X* object);
    // Arms a call of a plain function in ms; a pending one is cancelled.
    void set(unsigned ms, void (*function)());

private:
    friend class OwnedTimerEvent;
    TimerEvent* event_ = nullptr;
};

// Base of the events a Timer arms: remembers the Timer and releases it before the callback.
class OwnedTimerEvent : public TimerEvent {
protected:
    explicit OwnedTimerEvent(Timer* owner) : owner_(owner) {}
    // Lets the owner go when it still holds this event and returns it; null once the owner gave
    // the event up with release().
    Timer* release_owner();

private:
    friend class Timer;
    Timer* owner_;
};

template <class X>
class ObjTimerEvent1 : public OwnedTimerEvent {
public:
    using Method = void (X::*)();
    ObjTimerEvent1(Timer* owner, unsigned ms, Method method, X* object)
        : OwnedTimerEvent(owner), method_(method), object_(object)
    {
        schedule(ms);
    }
    void fire() override
    {
        release_owner();
        (object_->*method_)();
        delete this;
    }

private:
    Method method_;
    X* object_;
};

template <class X>
class ObjTimerEvent2 : public OwnedTimerEvent {
public:
    using Method = void (X::*)(Timer*);
    ObjTimerEvent2(Timer* owner, unsigned ms, Method method, X* object)
        : OwnedTimerEvent(owner), method_(method), object_(object)
    {
        schedule(ms);
    }
    void fire() override
    {
        Timer* owner = release_owner();
        (object_->*method_)(owner);
        delete this;
    }

private:
    Method method_;
    X* object_;
};

class SimpleTimerEvent1 : public OwnedTimerEvent {
public:
    using Function = void (*)();
    SimpleTimerEvent1(Timer* owner, unsigned ms, Function function);
    void fire() override;

private:
    Function function_;
};

template <class X>
void Timer::set(unsigned ms, void (X::*method)(), X* object)
{
    reset(new ObjTimerEvent1<X>(this, ms, method, object));
}

template <class X>
void Timer::set(unsigned ms, void (X::*method)(Timer*), X* object)
{
    reset(new ObjTimerEvent2<X>(this, ms, method, object));
}
