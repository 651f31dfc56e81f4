#pragma once

// Intrusive doubly linked lists: the listed objects carry their own links, so linking and
// unlinking never allocate. The lists own nothing.

#include <cstdint>
#include <utility>

template <class T>
struct F_dual_list_item {
    T* next = nullptr;
    T* prev = nullptr;
};

template <class T>
class F_dual_list {
public:
    T* head() const { return head_; }
    T* tail() const { return tail_; }
    uint32_t size() const { return count_; }
    bool empty() const { return count_ == 0; }

    void push_back(T* item) { insert_to_tail(item); }

    void insert_to_tail(T* item)
    {
        link(item)->prev = tail_;
        link(item)->next = nullptr;
        if (tail_)
            link(tail_)->next = item;
        else
            head_ = item;
        tail_ = item;
        ++count_;
    }

    void insert_to_head(T* item)
    {
        link(item)->prev = nullptr;
        link(item)->next = head_;
        if (head_)
            link(head_)->prev = item;
        else
            tail_ = item;
        head_ = item;
        ++count_;
    }

    // Inserts item right after existing, which must be in this list.
    void insert_after(T* existing, T* item)
    {
        T* following = link(existing)->next;
        link(item)->prev = existing;
        link(item)->next = following;
        link(existing)->next = item;
        if (following)
            link(following)->prev = item;
        else
            tail_ = item;
        ++count_;
    }

    // Unlinks an item known to be in this list.
    void remove(T* item)
    {
        T* before = link(item)->prev;
        T* after = link(item)->next;
        if (before)
            link(before)->next = after;
        else
            head_ = after;
        if (after)
            link(after)->prev = before;
        else
            tail_ = before;
        link(item)->next = link(item)->prev = nullptr;
        --count_;
    }

    T* remove_from_head()
    {
        T* item = head_;
        if (item)
            remove(item);
        return item;
    }

    // Linear search; the lists are short or searched only on rare paths.
    bool contains(const T* item) const
    {
        for (T* it = head_; it; it = next(it))
            if (it == item)
                return true;
        return false;
    }

    // Exchanges the contents of the two lists.
    void merge(F_dual_list& other)
    {
        std::swap(head_, other.head_);
        std::swap(tail_, other.tail_);
        std::swap(count_, other.count_);
    }

    // Moves every item of other, in order, to the tail of this list; other ends empty.
    void append(F_dual_list& other)
    {
        if (other.empty())
            return;
        if (tail_) {
            link(tail_)->next = other.head_;
            link(other.head_)->prev = tail_;
        } else {
            head_ = other.head_;
        }
        tail_ = other.tail_;
        count_ += other.count_;
        other.head_ = other.tail_ = nullptr;
        other.count_ = 0;
    }

    // Links n consecutive records of an array in array order; the list must be empty.
    void init(T* array, uint32_t n)
    {
        for (uint32_t i = 0; i < n; ++i)
            insert_to_tail(&array[i]);
    }

    static T* next(T* item) { return link(item)->next; }
    static T* prev(T* item) { return link(item)->prev; }

private:
    static F_dual_list_item<T>* link(T* item) { return static_cast<F_dual_list_item<T>*>(item); }

    T* head_ = nullptr;
    T* tail_ = nullptr;
    uint32_t count_ = 0;
};

// A list kept in ascending order by the items' compare(other) (negative: before other).
template <class T>
class F_sorted_list : public F_dual_list<T> {
public:
    // Walks from the tail and inserts after the first item that does not compare greater, so
    // equal items keep their insertion order and an item not before the tail is placed at once.
    void insert_to_tail_by_grown(T* item)
    {
        for (T* it = this->tail(); it; it = F_dual_list<T>::prev(it)) {
            if (it->compare(item) <= 0) {
                this->insert_after(it, item);
                return;
            }
        }
        this->insert_to_head(item);
    }

    uint32_t count() const { return this->size(); }
};
