#include "signalling/clean_queue.h"

#include "foundation/packet/pool_test_support.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using Queue = CleanQueue<Packet, 7>;

// Operations on the queue: "p<n>" puts and "a<n>" appends a packet holding the octet n (answer +,
// or ! when refused); "g" gets, "l" takes the newest, "v" previews (the octet, or - when empty).
std::string run(Queue& queue, const std::string& operations)
{
    std::istringstream in(operations);
    std::string op, answers;
    for (Packet out; in >> op; answers += ' ') {
        const Packet p = packettest::make({static_cast<unsigned char>(std::atoi(op.c_str() + 1))});
        if (op[0] == 'p' || op[0] == 'a')
            answers += (op[0] == 'p' ? queue.put(p) : queue.append(p)) ? "+" : "!";
        else if (op == "g" ? queue.get(out) : op == "l" ? queue.get_last(&out) : queue.preview(&out))
            answers += std::to_string(out[0]);
        else
            answers += "-";
    }
    return answers;
}

TEST(CleanQueue, FillsToItsCapacityWrapsServesBothEndsAndLetsGoOfItsPackets)
{
    const struct {
        const char *operations, *answers;
        unsigned left;
    } cases[] = {
        {"p1 p2 p3 p4 p5 p6 p7 p8 a9 g p8 g g g g g g g g", "+ + + + + + + ! ! 1 + 2 3 4 5 6 7 8 - ", 0},
        {"p1 p2 p3 l a3 g g g g", "+ + + 3 + 3 1 2 - ", 0}, {"a5 l a6 g", "+ 5 + 6 ", 0},
        {"a1 a2 p3 l l l l", "+ + + 3 1 2 - ", 0},        {"v l g p4 v v p5 l", "- - - + 4 4 + 5 ", 1},
    };
    const uint32_t free_blocks = Packet_pool::available();
    for (const auto& c : cases) {
        {
            Queue queue;
            EXPECT_EQ(run(queue, c.operations), c.answers) << c.operations;
            EXPECT_EQ(queue.count(), c.left) << c.operations;
            EXPECT_EQ(queue.empty(), c.left == 0);
            EXPECT_EQ(queue.size(), 7u);
        }
        EXPECT_EQ(Packet_pool::available(), free_blocks) << c.operations;
    }
    Queue queue;
    run(queue, "p2 p3 a4");
    queue.clear();
    EXPECT_EQ(Packet_pool::available(), free_blocks);
    EXPECT_TRUE(queue.empty() && !queue.preview(nullptr));
}

}  // namespace
