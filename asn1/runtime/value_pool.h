#pragma once

// Memory for values and for the component blocks of SEQUENCEs. A message is a tree of small
// objects built and dropped for every command and signal, so small requests come from free lists
// kept per size class and refilled from large chunks, which are never given back; larger requests
// go to the global heap.

#include <cstddef>
#include <new>

namespace ASN1::detail {

class SizedFreeLists {
public:
    // Requests up to this size are served from the lists, in steps of `step` octets.
    static constexpr std::size_t largest = 2048;
    static constexpr std::size_t step = 16;
    static constexpr std::size_t chunkSize = 64 * 1024;

    SizedFreeLists() = default;
    SizedFreeLists(const SizedFreeLists&) = delete;
    SizedFreeLists& operator=(const SizedFreeLists&) = delete;
    // Gives the chunks back: every block must have been released.
    ~SizedFreeLists();

    // At least size (above 0) octets, aligned for any value.
    void* allocate(std::size_t size)
    {
        if (size <= largest) {
            FreeBlock*& head = free_[(size - 1) / step];
            if (FreeBlock* block = head) {
                head = block->next;
                return block;
            }
        }
        return allocateAnew(size);
    }
    // p comes from allocate() of this object with the same size.
    void release(void* p, std::size_t size) noexcept
    {
        if (size > largest) {
            ::operator delete(p);
            return;
        }
        FreeBlock*& head = free_[(size - 1) / step];
        auto* block = static_cast<FreeBlock*>(p);
        block->next = head;
        head = block;
    }

private:
    struct FreeBlock {
        FreeBlock* next;
    };
    // From the current chunk or the heap.
    void* allocateAnew(std::size_t size);

    FreeBlock* free_[largest / step] = {};
    char* next_ = nullptr;
    char* end_ = nullptr;
    // Every chunk begins with a link to the one before.
    void* chunks_ = nullptr;
};

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ASN1_UNDER_ADDRESS_SANITIZER
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(ASN1_UNDER_ADDRESS_SANITIZER)
// Under AddressSanitizer every value comes from the global heap, so that its checks see each one.
inline constexpr bool pooledValues = false;
#else
inline constexpr bool pooledValues = true;
#endif

// The free lists of the calling thread, made on its first value and kept for the life of the
// process: a value may outlive its thread.
inline thread_local SizedFreeLists* threadFreeLists = nullptr;
SizedFreeLists& newThreadLists();
inline SizedFreeLists& threadLists() { return threadFreeLists ? *threadFreeLists : newThreadLists(); }

inline void* allocate(std::size_t size) { return pooledValues ? threadLists().allocate(size) : ::operator new(size); }

inline void release(void* p, std::size_t size) noexcept
{
    if (pooledValues)
        threadLists().release(p, size);
    else
        ::operator delete(p);
}

}  // namespace ASN1::detail
