#include "foundation/packet/packet.h"
#include "pool_test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>

namespace {

using packettest::make;

TEST(PacketPool, HoldsExactly1024BlocksThenThrowsAndReusesTheLeastRecentlyFreedFirst)
{
    EXPECT_EQ(Packet_pool::available(), packet_pool_blocks);
    std::vector<Packet> held = packettest::drain_pool();
    Packet extra;
    EXPECT_THROW(extra.reserve_head(0), std::bad_alloc);
    EXPECT_TRUE(extra.is_null());
    // Copy-on-write needs a block too; the shared packet stays as it was.
    Packet shared = held[0];
    EXPECT_THROW(shared.put(1), std::bad_alloc);
    EXPECT_EQ(shared.get(), held[0].get());
    EXPECT_EQ(held[0].length(), 0u);

    const _Packet* a = held[10].get();
    const _Packet* b = held[3].get();
    held[10] = Packet();
    held[3] = Packet();
    Packet first, second;
    first.reserve_tail(0);
    second.reserve_head(0);
    EXPECT_EQ(first.get(), a);
    EXPECT_EQ(second.get(), b);
    // The rest returns to the pool: only first, second and shared hold blocks.
    held.clear();
    EXPECT_EQ(Packet_pool::available(), packet_pool_blocks - 3);
}

TEST(Packet, ChangedCopyLeavesTheOriginalHoldingOneMoreBlockStringsAreCutAndSubPacketsAreCopies)
{
    Packet original = make({0x01, 0x02, 0x03});
    const uint32_t free_with_one = Packet_pool::available();
    Packet copy = original;
    EXPECT_EQ(copy.get(), original.get());
    copy.put(0x04);
    copy.pull();
    EXPECT_NE(copy.get(), original.get());
    EXPECT_EQ(Packet_pool::available(), free_with_one - 1);
    EXPECT_EQ(original.text(), "01 02 03");
    EXPECT_EQ(copy.text(), "02 03 04");
    // The private copy keeps the window's place in the block.
    EXPECT_EQ(copy.headroom(), original.headroom() + 1);

    // Reading a shared packet copies nothing, and assigning a handle its own block keeps it.
    Packet reader = original;
    EXPECT_EQ(reader[2], 0x03);
    Packet& same = reader;
    reader = same;
    original = reader;
    EXPECT_EQ(reader.get(), original.get());
    EXPECT_EQ(original.text(), "01 02 03");
    EXPECT_EQ(Packet_pool::available(), free_with_one - 1);

    // Strings carry a length octet: longer ones are cut to 255 bytes.
    Packet s = make({});
    s.put(std::string("abc"));
    s.put(std::string(300, 'x'));
    EXPECT_EQ(s.pull_string(), "abc");
    EXPECT_EQ(s.pull_string(), std::string(255, 'x'));
    EXPECT_EQ(s.length(), 0u);

    Packet q = make({0x0A, 0x0B, 0x0C, 0x0D});
    Packet part = q.sub(2, 1);
    EXPECT_EQ(part.text(), "0B 0C");
    EXPECT_NE(part.get(), q.get());
    q.put(part);
    q.put(q);
    EXPECT_EQ(q.text(), "0A 0B 0C 0D 0B 0C 0A 0B 0C 0D 0B 0C");
}

TEST(PacketDeathTest, MisuseIsFatal)
{
    const std::pair<std::function<void()>, const char*> misuses[] = {
        {[] { Packet().reserve_head(packet_max_size + 1); }, "PACKET ASSERTION FAILED!\nlength>packet_max_size"},
        {[] { Packet().reserve_tail(packet_max_size + 1); }, "len>packet_max_size"},
        {[] { make({1, 2}, 10).reserve_head(packet_max_size - 11); }, "new_len>packet_max_size"},
        {[] { make({1}, 10).reserve_tail(11); }, "_tailroom\\(\\)\\+len <= packet_max_size"},
        {[] { Packet().put(1); }, "null packet"},
        {[] { Packet().pull(); }, "null packet"},
        {[] { make({}, packet_max_size).put(0); }, "len<=_tailroom\\(\\)"},
        {[] { make({}, packet_max_size - 1).put(std::string("ab")); }, "len<=_tailroom\\(\\)"},
        {[] { make({}, 0).push(1); }, "len<=_headroom\\(\\)"},
        {[] { make({1}).pull(2); }, "len<=_length\\(\\)"},
        {[] { make({1}).trim(2); }, "len<=_length\\(\\)"},
        {[] { (void)make({1})[1]; }, "index out of range"},
        {[] { (void)make({1})[-1]; }, "index out of range"},
        {[] { make({0x0A, 0x0B, 0x0C, 0x0D}).sub(4, 1); }, "start\\+len<=_length\\(\\)"},
        {[] { make({0x0A}).sub(0, 2); }, "start<=_length\\(\\)"},
        // A huge length must not wrap around the bound.
        {[] { make({0x0A, 0x0B}).sub(0xFFFFFFFFu, 1); }, "start\\+len<=_length\\(\\)"},
        {[] { Packet()->ref_count++; }, "SMART POINTER ASSERTION!"},
        {[] { SharedPtrAssertion(); }, "SHARED POINTER ASSERTION!"},
        {[] { Packet().check("here"); }, "packet check fail\nafter \"here\" packet is null\nterminate."},
    };
    for (const auto& [misuse, message] : misuses)
        EXPECT_DEATH(misuse(), message);
}

}  // namespace
