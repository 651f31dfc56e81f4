#include "foundation/reactor/event.h"

#include "foundation/reactor/multiplexer.h"

#include <poll.h>

EventHandler::~EventHandler() { mux_detach(); }

std::string EventHandler::event_name() const { return "unknown"; }

bool EventHandler::is_named() const { return false; }

void EventHandler::mux_attach()
{
    if (attached_)
        return;
    multiplexer.attach(this);
    attached_ = true;
}

void EventHandler::mux_detach()
{
    if (!attached_)
        return;
    multiplexer.detach(this);
    attached_ = false;
}

Event::~Event()
{
    Bind(nullptr);
    Release();
}

void Event::Bind(Handler* handler)
{
    Handler* old = handler_;
    handler_ = handler;
    if (old != handler)
        delete old;
}

void Event::Schedule(Fd fd, short events)
{
    if (fd_)
        mux_detach();
    if (fd.get() != fd_.get()) {
        fd_.close();
        fd_ = fd.dup();
    }
    events_ = events;
    if (fd_)
        mux_attach();
}

void Event::Release()
{
    if (!fd_)
        return;
    mux_detach();
    fd_.close();
}

void Event::shedule_event(pollfd& entry)
{
    entry.fd = fd_;
    entry.events = events_;
}

void Event::svc_event(short revents)
{
    if (revents & events_)
        ++count_;
    if (handler_)
        handler_->Invoke(fd_, revents);
}
