#pragma once

// Reactor-driven TCP connect with a timeout. The handler receives the result and, when
// connected, a descriptor that is closed once it returns: a handler that keeps the connection
// takes its own duplicate (Fd::dup).

#include "foundation/os/fd.h"
#include "foundation/reactor/event.h"
#include "foundation/reactor/timer.h"

#include <string>

namespace ASync {

class Connect {
public:
    struct Status {
        enum Type {
            idle = 0,
            connecting = 1,
            // No socket, an address that does not parse, refused, an error on the socket or
            // the timeout.
            failed = 2,
            connected = 3,
            stopped = 4,
        };
    };

    class Handler {
    public:
        virtual ~Handler() = default;
        virtual void Invoke(Status::Type status, Fd socket) = 0;
    };

    template <class X>
    class THandler : public Handler {
    public:
        using Method = void (X::*)(Status::Type, Fd);
        THandler(Method method, X* object) : method_(method), object_(object) {}
        void Invoke(Status::Type status, Fd socket) override { (object_->*method_)(status, socket); }

    private:
        Method method_;
        X* object_;
    };

    Connect();
    Connect(const Connect&) = delete;
    Connect& operator=(const Connect&) = delete;
    // Ends a pending connect without calling the handler.
    ~Connect();

    // The handler is called once per Start; the connector is not touched after it returns, so
    // the handler may delete or restart it.
    void Bind(Handler* handler);
    template <class X>
    void Bind(void (X::*method)(Status::Type, Fd), X* object)
    {
        Bind(new THandler<X>(method, object));
    }
    void UnBind() { Bind(nullptr); }

    // Connects to "a.b.c.d:port"; the result may come from within Start.
    void Start(const std::string& address, unsigned timeout_ms);
    void Stop();

    Status::Type status() const { return status_; }

private:
    void OnSocketEvent(int fd, short revents);
    void OnTimeOut(Timer* timer);
    void Complete(Status::Type status);

    Status::Type status_ = Status::idle;
    Fd socket_;
    Event event_;
    Handler* handler_ = nullptr;
    Timer timer_;
};

}  // namespace ASync
