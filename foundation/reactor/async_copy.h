#pragma once

// Reactor-driven copy from one descriptor to another through one buffer: reads only when the
// buffer is empty and writes until it is empty again, then reports the end to a handler.
// Both descriptors should be non-blocking; the copier works on its own duplicates.

#include "foundation/os/fd.h"
#include "foundation/reactor/event.h"

#include <cstdint>
#include <poll.h>
#include <vector>

namespace ASync {

class Copy {
public:
    struct Status {
        enum Type {
            idle = 0,       // never started
            copying = 1,
            draining = 2,   // the source has ended, buffered data is still being written
            flushing = 3,   // waiting for the flush mask on the destination
            failed = 4,
            done = 5,
            cancelled = 6,  // by a change of masks or buffer size
        };
    };

    struct EventsParams {
        short source = POLLIN;
        short destination = POLLOUT;
        // 0: done as soon as the last byte is written.
        short flush = POLLWRNORM;
    };

    class Handler {
    public:
        virtual ~Handler() = default;
        virtual void Invoke(Status::Type status) = 0;
    };

    template <class X>
    class THandler : public Handler {
    public:
        using Method = void (X::*)(Status::Type);
        THandler(Method method, X* object) : method_(method), object_(object) {}
        void Invoke(Status::Type status) override { (object_->*method_)(status); }

    private:
        Method method_;
        X* object_;
    };

    Copy();
    Copy(const Copy&) = delete;
    Copy& operator=(const Copy&) = delete;
    // Ends a running copy without calling the handler.
    ~Copy();

    // The handler is called once per copy with failed, done or cancelled; the copier is not
    // touched after it returns, so the handler may delete or restart it.
    void Bind(Handler* handler);
    template <class X>
    void Bind(void (X::*method)(Status::Type), X* object)
    {
        Bind(new THandler<X>(method, object));
    }
    void UnBind() { Bind(nullptr); }

    // Both cancel a running copy. A buffer size of 0 is ignored: it would end every copy at once.
    void set_events(const EventsParams& events);
    void set_bufsize(unsigned size);

    void Start(Fd source, Fd destination);
    // Ends the source as if it had reached its end: buffered data is still written.
    void Stop();

    Status::Type status() const { return status_; }
    // The errno of the failure that ended the copy, 0 for none.
    int error() const { return error_; }
    uint32_t copied() const { return copied_; }

private:
    using Step = bool (Copy::*)();

    void Progress();
    bool SrcReady();
    bool DstReady();
    bool NotReady() { return false; }
    void GoReading();
    void GoWriting();
    bool GoFlush();
    bool GoFlushDst();
    void OnSrcEvent(int fd, short revents);
    void OnDstEvent(int fd, short revents);
    void Complete(Status::Type status);
    bool running() const;

    Fd source_;
    Fd destination_;
    // Sockets are written with send(), everything else with write().
    bool destination_socket_ = false;
    EventsParams masks_;
    int error_ = 0;
    Step step_ = &Copy::NotReady;
    Handler* handler_ = nullptr;
    Event source_event_;
    Event destination_event_;
    uint32_t copied_ = 0;
    unsigned char* write_pos_ = nullptr;
    unsigned char* end_ = nullptr;
    Status::Type status_ = Status::idle;
    std::vector<unsigned char> buffer_;
};

}  // namespace ASync
