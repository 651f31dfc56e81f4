#include "asn1/runtime/value_pool.h"

#include <new>

namespace ASN1::detail {

namespace {

constexpr std::size_t chunkLink = 16;  // keeps the blocks after it aligned

}  // namespace

SizedFreeLists& newThreadLists()
{
    threadFreeLists = new SizedFreeLists;
    return *threadFreeLists;
}

SizedFreeLists::~SizedFreeLists()
{
    while (void* chunk = chunks_) {
        chunks_ = *static_cast<void**>(chunk);
        ::operator delete(chunk);
    }
}

void* SizedFreeLists::allocateAnew(std::size_t size)
{
    if (size > largest)
        return ::operator new(size);
    const std::size_t bytes = (size + step - 1) / step * step;
    if (static_cast<std::size_t>(end_ - next_) < bytes) {
        // The rest of the old chunk, less than the largest block, is left unused.
        char* chunk = static_cast<char*>(::operator new(chunkSize));
        *reinterpret_cast<void**>(chunk) = chunks_;
        chunks_ = chunk;
        next_ = chunk + chunkLink;
        end_ = chunk + chunkSize;
    }
    void* block = next_;
    next_ += bytes;
    return block;
}

}  // namespace ASN1::detail
