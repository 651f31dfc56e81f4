// The free lists that hold the values' memory.

#include "asn1/runtime/value_pool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <map>

namespace {

using ASN1::detail::SizedFreeLists;

TEST(SizedFreeLists, AReleasedBlockServesTheNextRequestOfItsSizeClass)
{
    SizedFreeLists lists;
    void* block = lists.allocate(40);
    void* other = lists.allocate(40);
    EXPECT_NE(block, other);
    lists.release(block, 40);
    EXPECT_EQ(lists.allocate(33), block);
    EXPECT_NE(lists.allocate(49), other);
    void* large = lists.allocate(SizedFreeLists::largest + 1);
    std::memset(large, 0, SizedFreeLists::largest + 1);
    lists.release(large, SizedFreeLists::largest + 1);
}

TEST(SizedFreeLists, BlocksFromSeveralChunksAreAlignedAndApart)
{
    SizedFreeLists lists;
    std::map<std::uintptr_t, std::size_t> sizes;
    for (std::size_t i = 0; i < 3 * SizedFreeLists::chunkSize / SizedFreeLists::largest; ++i) {
        const std::size_t size = SizedFreeLists::largest - i % 100;
        void* block = lists.allocate(size);
        std::memset(block, 0xa5, size);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 16, 0u);
        sizes[reinterpret_cast<std::uintptr_t>(block)] = size;
    }
    for (auto block = sizes.begin(); std::next(block) != sizes.end(); ++block)
        EXPECT_GE(std::next(block)->first - block->first, block->second);
}

}  // namespace
