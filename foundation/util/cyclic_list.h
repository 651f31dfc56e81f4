#pragma once

// An intrusive circular doubly linked list. Every node is a pair of links; a ring's head is a node
// that belongs to no object, and an empty ring's head points at itself both ways. An object joins
// a ring by deriving from the node type (so the object is found from its node by a fixed offset,
// a plain static_cast) and leaves it when destroyed, so a ring never holds a dead object.
//
//     class Receiver : private Containers::CyclicList { ... };
//     ring.push_back(receiver);                     // at the tail: the ring keeps construction order
//     for (Containers::CyclicList* node = ring.next(); node != &ring; node = node->next())
//         static_cast<Receiver*>(node)->...;

namespace Containers {

class CyclicList {
public:
    constexpr CyclicList() noexcept : next_(this), prev_(this) {}
    ~CyclicList() { unlink(); }
    CyclicList(const CyclicList&) = delete;
    CyclicList& operator=(const CyclicList&) = delete;

    CyclicList* next() const { return next_; }

    // Called on a head: links the node, which must be in no ring, at the tail.
    void push_back(CyclicList& node) noexcept
    {
        node.prev_ = prev_;
        node.next_ = this;
        prev_->next_ = &node;
        prev_ = &node;
    }

    // Leaves the ring; a node in no ring stays as it is.
    void unlink() noexcept
    {
        prev_->next_ = next_;
        next_->prev_ = prev_;
        next_ = prev_ = this;
    }

private:
    CyclicList* next_;
    CyclicList* prev_;
};

}  // namespace Containers
