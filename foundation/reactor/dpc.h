#pragma once

// Deferred calls: an active Dpc runs twice in every reactor pass (after the timers and again
// just before poll()), in ascending order of the Dpc objects' addresses, until deactivated.

class DpcHandler {
public:
    virtual void Invoke() = 0;
    virtual ~DpcHandler() = default;
};

class DpcHandler1 : public DpcHandler {
public:
    using Function = void (*)();
    explicit DpcHandler1(Function function) : function_(function) {}
    void Invoke() override { function_(); }

private:
    Function function_;
};

template <class X>
class TDpcHandler : public DpcHandler {
public:
    using Method = void (X::*)();
    TDpcHandler(X* object, Method method) : object_(object), method_(method) {}
    void Invoke() override { (object_->*method_)(); }

private:
    X* object_;
    Method method_;
};

class Dpc {
public:
    Dpc() = default;
    Dpc(const Dpc&) = delete;
    Dpc& operator=(const Dpc&) = delete;
    // Deactivates and deletes the handler.
    ~Dpc();

    // Deletes the bound handler and takes the given one.
    void Bind(DpcHandler* handler);
    template <class X>
    void Bind(X* object, void (X::*method)())
    {
        Bind(new TDpcHandler<X>(object, method));
    }

    void Activate();
    // A Dpc deactivated while the deferred calls run does not run later in that run.
    void Deactivate();

    bool active() const { return active_; }
    DpcHandler* handler() const { return handler_; }

private:
    DpcHandler* handler_ = nullptr;
    bool active_ = false;
};
