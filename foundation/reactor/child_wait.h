#pragma once

// Waiting for child processes without blocking the reactor. A ChildWait waits for one process
// id; its handler receives the wait status from a reactor callback once the child has ended.
// The one process-wide ChildWaitService turns SIGCHLD into those callbacks.

#include "foundation/reactor/intrusive_list.h"

#include <new>

class ChildWaitService;

class ChildWait : public F_dual_list_item<ChildWait> {
public:
    class Handler {
    public:
        virtual ~Handler() = default;
        virtual void Invoke(ChildWait& waiter, int status) = 0;
    };

    class DummyHandler : public Handler {
    public:
        void Invoke(ChildWait&, int) override {}
    };

    template <class X>
    class THandler1 : public Handler {
    public:
        using Method = void (X::*)(int);
        THandler1(X* object, Method method) : object_(object), method_(method) {}
        void Invoke(ChildWait&, int status) override { (object_->*method_)(status); }

    private:
        X* object_;
        Method method_;
    };

    ChildWait();
    ChildWait(const ChildWait&) = delete;
    ChildWait& operator=(const ChildWait&) = delete;
    // Unlinks a waiter whose child has not been reported.
    ~ChildWait();

    // The handler lives inside the waiter; binding replaces the one there.
    template <class X>
    void Bind(X* object, void (X::*method)(int))
    {
        static_assert(sizeof(THandler1<X>) <= sizeof room_, "handler does not fit its room");
        static_assert(alignof(THandler1<X>) <= alignof(Room), "handler alignment exceeds its room");
        handler_->~Handler();
        handler_ = new (room_.bytes) THandler1<X>(object, method);
    }

    // Waits for pid (right after fork() returned it), at the tail of the waiters; the exit of a
    // child is reported to the first waiter attached for it, which is unlinked before its
    // handler runs, so the handler may destroy or re-attach it.
    void Attach(int pid);
    void Detach();

    int pid() const { return pid_; }
    bool linked() const { return linked_; }

    // The service's life: created with the first user unit's static initialisation, wired to the
    // reactor and SIGCHLD once by Activate() before the reactor runs, destroyed with the last
    // user unit at exit.
    static void Initialize();
    static void Cleanup();
    static void Activate();
    static unsigned UsageCounter;

private:
    friend class ChildWaitService;

    struct alignas(void*) Room {
        unsigned char bytes[4 * sizeof(void*)];
    };

    int pid_ = 0;
    bool linked_ = false;
    Room room_;
    Handler* handler_;
};

// Every unit that uses waiters keeps the service alive from its static initialisation on, so
// that static waiters may attach, until its own static objects are gone.
static struct ChildWaitUsage {
    ChildWaitUsage()
    {
        if (ChildWait::UsageCounter++ == 0)
            ChildWait::Initialize();
    }
    ~ChildWaitUsage()
    {
        if (--ChildWait::UsageCounter == 0)
            ChildWait::Cleanup();
    }
} child_wait_usage;
