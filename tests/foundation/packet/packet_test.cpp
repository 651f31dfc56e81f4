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

TEST(Packet, SixteenBitFieldsInEitherOrderTrimAndTheDumpsOfAFatalReport)
{
    Packet p = make({});
    p.put16_b(0x1234);
    p.put16(0x1234);
    EXPECT_EQ(p.text(), "12 34 34 12");
    Packet front = make({0xAA});
    front.push16_b(0x5678);
    EXPECT_EQ(front.text(), "56 78 AA");
    EXPECT_EQ(front.pull16_l(), 0x7856);
    front.push16_b(0x1234);
    EXPECT_EQ(front.pull16_b(), 0x1234);
    // A short packet reads as zeros beyond its end.
    EXPECT_EQ(front.pull16_b(), 0xAA00);
    EXPECT_EQ(front.pull16_b(), 0);

    // Room at the end of an existing block moves the window towards its start, bytes unmoved.
    Packet moved = make({0xAA, 0xBB, 0xCC}, 10);
    moved.reserve_tail(4);
    EXPECT_EQ(moved.headroom(), 6u);
    EXPECT_EQ(moved.length(), 3u);
    moved.reserve_head(4);
    EXPECT_EQ(moved.text(), "AA BB CC");
    moved.trim(2);
    moved.trim(0);
    EXPECT_EQ(moved.text(), "AA");

    std::ostringstream dump, context, none;
    EXPECT_TRUE(moved.dump(dump));
    EXPECT_EQ(dump.str(), "head=10, data=1, tail=" + std::to_string(packet_max_size - 11));
    EXPECT_TRUE(make({0x01, 0xAB}).dump_context(context));
    EXPECT_EQ(context.str(), "dump: 1 ab");
    EXPECT_TRUE(make({}).dump_context(none));
    EXPECT_FALSE(Packet().dump(none));
    EXPECT_FALSE(Packet().dump_context(none));
    EXPECT_EQ(none.str(), "");
    EXPECT_EQ(Packet().text(), "(null)");
}

TEST(PacketDeathTest, MisuseIsFatal)
{
    const std::pair<std::function<void()>, const char*> misuses[] = {
        {[] { Packet().reserve_head(packet_max_size + 1); }, "PACKET ASSERTION FAILED!\nlength>packet_max_size"},
        {[] { Packet().reserve_tail(packet_max_size + 1); }, "len>packet_max_size"},
        {[] { make({1, 2}, 10).reserve_head(packet_max_size - 11); },
         "new_len>packet_max_size\nhead=10, data=2, tail=65524\ndump:\n 1 2\n"},
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
