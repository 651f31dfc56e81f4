#pragma once

// A fixed ring of N element handles (packets) that never allocates after construction and
// refuses an element when full, so that a link counts the loss instead of growing. It is a
// queue at put/get and a stack at either end: a retransmission takes the newest unacknowledged
// frames off the acknowledgement queue with get_last and appends each to the send queue, which
// leaves them there in the order they were first sent, ahead of what layer 3 queued since.
//
// The queue holds one reference per element; moving an element in or out passes a handle,
// never the packet's bytes. A slot outside the queued range holds nothing.

#include <cstdint>

template <class T, unsigned N>
class CleanQueue {
    static_assert(N > 0, "a queue holds at least one element");

public:
    // At the tail; false, queue unchanged, when full.
    bool put(const T& element)
    {
        if (count_ >= N)
            return false;
        slots_[tail_] = element;
        tail_ = forward(tail_);
        ++count_;
        return true;
    }

    // In front of the oldest: the next get returns it. False, queue unchanged, when full.
    bool append(const T& element)
    {
        if (count_ >= N)
            return false;
        head_ = backward(head_);
        slots_[head_] = element;
        ++count_;
        return true;
    }

    // The oldest element, taken off; false and the output untouched when empty. With no output
    // nothing is taken.
    bool get(T& out)
    {
        if (count_ == 0)
            return false;
        out = slots_[head_];
        slots_[head_] = T();
        head_ = forward(head_);
        --count_;
        return true;
    }
    bool get(T* out) { return out && get(*out); }

    // The newest element, taken off; false and the output untouched when empty, nothing taken
    // without an output.
    bool get_last(T* out)
    {
        if (count_ == 0 || !out)
            return false;
        tail_ = backward(tail_);
        *out = slots_[tail_];
        slots_[tail_] = T();
        --count_;
        return true;
    }

    // A copy of the oldest element, which stays queued; with no output only whether there is one.
    bool preview(T* out) const
    {
        if (count_ == 0)
            return false;
        if (out)
            *out = slots_[head_];
        return true;
    }

    unsigned count() const { return count_; }
    // The capacity, whatever the contents.
    unsigned size() const { return N; }
    bool empty() const { return count_ == 0; }

    // Lets go of every element at once, so that the packets go back to the pool now rather than
    // whenever their slots are written again.
    void clear()
    {
        while (count_ > 0) {
            slots_[head_] = T();
            head_ = forward(head_);
            --count_;
        }
        head_ = tail_ = 0;
    }

private:
    static uint32_t forward(uint32_t index) { return index == N - 1 ? 0 : index + 1; }
    static uint32_t backward(uint32_t index) { return index == 0 ? N - 1 : index - 1; }

    T slots_[N];
    uint32_t head_ = 0;
    uint32_t tail_ = 0;
    uint32_t count_ = 0;
};
