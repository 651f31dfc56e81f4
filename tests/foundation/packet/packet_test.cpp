#include "foundation/packet/packet.h"
#include "pool_test_support.h"

#include <gtest/gtest.h>

#include <new>
#include <sstream>
#include <string>
#include <vector>

namespace {

Packet make(std::initializer_list<unsigned char> bytes, unsigned headroom = 16)
{
    Packet p;
    p.reserve_head(headroom);
    for (unsigned char b : bytes)
        p.put(b);
    return p;
}

TEST(PacketPool, HoldsExactly1024BlocksThenThrows)
{
    const uint32_t before = Packet_pool::available();
    std::vector<Packet> held = packettest::drain_pool();
    EXPECT_EQ(before, packet_pool_blocks);
    EXPECT_EQ(held.size(), packet_pool_blocks);

    Packet extra;
    EXPECT_THROW(extra.reserve_head(0), std::bad_alloc);
    EXPECT_THROW(extra.reserve_tail(0), std::bad_alloc);
    EXPECT_TRUE(extra.is_null());

    // Copy-on-write needs a block too; the shared packet stays as it was.
    Packet shared = held[0];
    EXPECT_THROW(shared.put(1), std::bad_alloc);
    EXPECT_EQ(shared.get(), held[0].get());
    EXPECT_EQ(held[0].length(), 0u);

    const _Packet* freed = held[5].get();
    held[5] = Packet();
    extra.reserve_head(0);
    EXPECT_EQ(extra.get(), freed);
}

TEST(PacketPool, ReusesTheLeastRecentlyFreedBlockFirst)
{
    std::vector<Packet> held = packettest::drain_pool();
    const _Packet* a = held[10].get();
    const _Packet* b = held[3].get();
    held[10] = Packet();
    held[3] = Packet();
    Packet first, second;
    first.reserve_tail(0);
    second.reserve_head(0);
    EXPECT_EQ(first.get(), a);
    EXPECT_EQ(second.get(), b);
    held.clear();
    EXPECT_EQ(Packet_pool::available(), packet_pool_blocks - 2);
}

TEST(Packet, ChangedCopyLeavesTheOriginalAndHoldsOneMoreBlock)
{
    Packet original = make({0x01, 0x02, 0x03});
    const uint32_t free_with_one = Packet_pool::available();
    Packet copy = original;
    EXPECT_EQ(copy.get(), original.get());
    EXPECT_EQ(Packet_pool::available(), free_with_one);

    copy.put(0x04);
    copy.pull();
    EXPECT_NE(copy.get(), original.get());
    EXPECT_EQ(Packet_pool::available(), free_with_one - 1);
    EXPECT_EQ(original.text(), "01 02 03");
    EXPECT_EQ(copy.text(), "02 03 04");
    // The private copy keeps the window's place in the block.
    EXPECT_EQ(copy.headroom(), original.headroom() + 1);

    // Reading a shared packet copies nothing.
    Packet reader = original;
    EXPECT_EQ(reader[2], 0x03);
    EXPECT_EQ(reader.length(), 3u);
    EXPECT_EQ(reader.get(), original.get());

    // Assigning a handle the block it already holds keeps the block.
    Packet& same = reader;
    reader = same;
    reader = original;
    original = reader;
    EXPECT_EQ(original.text(), "01 02 03");
    EXPECT_EQ(Packet_pool::available(), free_with_one - 1);
}

TEST(Packet, StringsSubPacketsAndTexts)
{
    // Strings carry a length octet: longer ones are cut to 255 bytes.
    Packet s = make({});
    s.put(std::string("abc"));
    s.put(std::string(300, 'x'));
    EXPECT_EQ(s.length(), 1u + 3u + 1u + 255u);
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

    EXPECT_EQ(Packet().text(), "(null)");
    std::ostringstream dump, context, none;
    EXPECT_TRUE(make({0x01, 0xAB}).dump(dump));
    EXPECT_EQ(dump.str(), "head=16, data=2, tail=65518");
    EXPECT_TRUE(make({0x01, 0xAB}).dump_context(context));
    EXPECT_EQ(context.str(), "dump: 1 ab");
    EXPECT_FALSE(Packet().dump(none));
    EXPECT_FALSE(Packet().dump_context(none));
    EXPECT_EQ(none.str(), "");
}

using PacketDeathTest = ::testing::Test;

TEST_F(PacketDeathTest, MisuseIsFatalWithItsMessage)
{
    EXPECT_DEATH(Packet().reserve_head(packet_max_size + 1),
                 "PACKET ASSERTION FAILED!\nlength>packet_max_size\n\\(null\\)");
    EXPECT_DEATH(Packet().reserve_tail(packet_max_size + 1), "PACKET ASSERTION FAILED!\nlen>packet_max_size");
    EXPECT_DEATH(make({1, 2}, 10).reserve_head(packet_max_size - 11),
                 "PACKET ASSERTION FAILED!\nnew_len>packet_max_size\nhead=10, data=2, tail=65524\ndump:\n 1 2\n");
    EXPECT_DEATH(make({1}, 10).reserve_tail(11), "_tailroom\\(\\)\\+len <= packet_max_size");
    EXPECT_DEATH(Packet().put(1), "PACKET ASSERTION FAILED!\nnull packet\n\\(null\\)");
    EXPECT_DEATH(Packet().push(1), "null packet");
    EXPECT_DEATH(Packet().pull(), "null packet");
    EXPECT_DEATH(Packet().sub(0, 0), "null packet");
    EXPECT_DEATH(make({}, 0).push(1), "len<=_headroom\\(\\)");
    EXPECT_DEATH(make({1}).pull(2), "len<=_length\\(\\)");
    EXPECT_DEATH(make({1}).trim(2), "len<=_length\\(\\)");
    EXPECT_DEATH(make({1})[1], "index out of range");
    EXPECT_DEATH(make({1})[-1], "index out of range");
    EXPECT_DEATH(make({0x0A, 0x0B, 0x0C, 0x0D}).sub(4, 1), "PACKET ASSERTION FAILED!\nstart\\+len<=_length\\(\\)");
    EXPECT_DEATH(make({0x0A}).sub(0, 2), "start<=_length\\(\\)");
    // A huge length must not wrap around the bound.
    EXPECT_DEATH(make({0x0A, 0x0B}).sub(0xFFFFFFFFu, 1), "start\\+len<=_length\\(\\)");
}

TEST_F(PacketDeathTest, FillingPastTheTailRoomIsFatal)
{
    Packet p;
    p.reserve_head(0);
    for (unsigned i = 0; i < packet_max_size; ++i)
        p.put(static_cast<unsigned char>(i));
    EXPECT_EQ(p.tailroom(), 0u);
    EXPECT_DEATH(p.put(0), "PACKET ASSERTION FAILED!\nlen<=_tailroom\\(\\)");
    Packet small = make({}, packet_max_size - 1);
    const unsigned char bytes[2] = {1, 2};
    EXPECT_DEATH(small.put(bytes, 2), "len<=_tailroom\\(\\)");
}

TEST_F(PacketDeathTest, NullHandlesAndChecks)
{
    Packet none;
    EXPECT_DEATH(none->ref_count++, "SMART POINTER ASSERTION!");
    EXPECT_DEATH(none.check("here"), "packet check fail\nafter \"here\" packet is null\nterminate.");
    EXPECT_DEATH(Packet::check_fail("after \"%s\" fdata>ftail", "trim"),
                 "packet check fail\nafter \"trim\" fdata>ftail\nterminate.");
}

}  // namespace
