#pragma once

// A fixed pool of N records of T in one static array, handed out from a free list. Freed
// records go to the tail of the list and records are taken from its head, so the record freed
// longest ago is reused first. The array and the list need no dynamic initialisation: they
// are linked on first use, whichever static initialiser gets there first.

#include "foundation/reactor/intrusive_list.h"

#include <cstddef>
#include <cstdint>

// The pool's lock for a single-threaded process: it does nothing.
struct Dummy_critical_section {
    void lock() {}
    void unlock() {}
};

template <class T, uint32_t N, class Lock>
class List_allocator {
public:
    // Raw storage for one T, or null when every record is in use.
    static void* allocate()
    {
        Guard guard;
        prepare();
        List_storage* record = free_list.remove_from_head();
        return record ? record->value : nullptr;
    }

    // Gives back storage that allocate() handed out.
    static void deallocate(void* value)
    {
        Guard guard;
        prepare();
        free_list.insert_to_tail(record_of(value));
    }

    static uint32_t available()
    {
        Guard guard;
        prepare();
        return free_list.size();
    }

private:
    struct List_storage : F_dual_list_item<List_storage> {
        // Initialised so that the whole array is constant-initialised (zeros, no constructor
        // run at start-up that could unlink records another initialiser already took).
        alignas(T) unsigned char value[sizeof(T)] = {};
    };

    struct Guard {
        Guard() { critical_section.lock(); }
        ~Guard() { critical_section.unlock(); }
    };

    static void prepare()
    {
        if (prepared)
            return;
        prepared = true;
        free_list.init(blocks, N);
    }

    static List_storage* record_of(void* value)
    {
        const size_t offset = reinterpret_cast<unsigned char*>(blocks[0].value) -
                              reinterpret_cast<unsigned char*>(&blocks[0]);
        return reinterpret_cast<List_storage*>(static_cast<unsigned char*>(value) - offset);
    }

    static List_storage blocks[N];
    static F_dual_list<List_storage> free_list;
    static bool prepared;
    static Lock critical_section;
};

template <class T, uint32_t N, class Lock>
typename List_allocator<T, N, Lock>::List_storage List_allocator<T, N, Lock>::blocks[N];

template <class T, uint32_t N, class Lock>
F_dual_list<typename List_allocator<T, N, Lock>::List_storage> List_allocator<T, N, Lock>::free_list;

template <class T, uint32_t N, class Lock>
bool List_allocator<T, N, Lock>::prepared = false;

template <class T, uint32_t N, class Lock>
Lock List_allocator<T, N, Lock>::critical_section;
