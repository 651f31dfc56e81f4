#pragma once

// Descriptor events of the reactor. An EventHandler is polled and served by the multiplexer
// while attached; Event is the handler used everywhere: its own close-on-exec duplicate of a
// descriptor, a poll mask, a name for the status table and an owned callback.
//
// After any poll() that reported activity every attached handler is served, with revents 0 for
// descriptors that were not ready, so callbacks test their revents. A callback may delete its
// own Event: nothing touches the event once the callback has returned.

#include "foundation/os/fd.h"
#include "foundation/reactor/intrusive_list.h"
#include "foundation/reactor/measure.h"

#include <cstdint>
#include <string>

struct pollfd;
class Multiplexer;

class EventHandler : public F_dual_list_item<EventHandler> {
public:
    EventHandler() = default;
    EventHandler(const EventHandler&) = delete;
    EventHandler& operator=(const EventHandler&) = delete;
    // Detaches a handler still attached.
    virtual ~EventHandler();

    // Fills the poll entry with the descriptor and mask to watch.
    virtual void shedule_event(pollfd& entry) = 0;
    virtual void svc_event(short revents) = 0;
    virtual std::string event_name() const;
    // Whether the status table lists the handler.
    virtual bool is_named() const;

    void mux_attach();
    void mux_detach();
    // Serves the handler with the revents of the last poll.
    void svc_event() { svc_event(revents_); }

    bool attached() const { return attached_; }
    short revents() const { return revents_; }

private:
    friend class Multiplexer;
    bool attached_ = false;
    short revents_ = 0;
};

class Event : public EventHandler {
public:
    class Handler {
    public:
        virtual ~Handler() = default;
        virtual void Invoke(int fd, short revents) = 0;
    };

    template <class X>
    class THandler : public Handler {
    public:
        using Method = void (X::*)(int, short);
        THandler(Method method, X* object) : method_(method), object_(object) {}
        void Invoke(int fd, short revents) override
        {
            if (method_)
                (object_->*method_)(fd, revents);
        }

    private:
        Method method_;
        X* object_;
    };

    Event() = default;
    // Deletes the handler, detaches and closes the own descriptor.
    ~Event() override;

    // Deletes the bound handler and takes the given one (none: nothing is called back).
    void Bind(Handler* handler);
    template <class X>
    void Bind(const std::string& name, void (X::*method)(int, short), X* object)
    {
        name_ = name;
        Bind(new THandler<X>(method, object));
    }
    void UnBind() { Bind(nullptr); }

    // Watches a close-on-exec duplicate of fd (the caller keeps and closes its own) for the
    // mask; the event moves to the end of the service order. Given its own descriptor, only the
    // mask changes.
    void Schedule(Fd fd, short events);
    // Stops watching and closes the own descriptor; the handler stays bound.
    void Release();

    void shedule_event(pollfd& entry) override;
    void svc_event(short revents) override;
    using EventHandler::svc_event;
    std::string event_name() const override { return name_; }
    bool is_named() const override { return true; }

    Handler* handler() const { return handler_; }
    Fd fd() const { return fd_; }
    short events() const { return events_; }
    const std::string& name() const { return name_; }
    // Passes in which the poll result met the mask.
    uint32_t count() const { return count_; }
    // Shown by the status table; callbacks may time themselves with it.
    Measure& measure() { return measure_; }
    const Measure& measure() const { return measure_; }

private:
    Handler* handler_ = nullptr;
    Fd fd_;
    short events_ = 0;
    std::string name_ = "Unknown";
    uint32_t count_ = 0;
    Measure measure_;
};
