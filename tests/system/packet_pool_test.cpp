// A controller alone can fill the daemon's packet pool: every signalling link queues what it cannot
// send yet, and the links together may hold more than the pool has. What finds the pool full is
// refused, and the daemon goes on.

#include "gateway.h"

#include "foundation/packet/packet.h"

#include <gtest/gtest.h>

namespace {

using namespace systemtest;

const milliseconds answer_time(10000);

std::string command(int seq, int slot, const std::string& pdu)
{
    return "{ seq " + std::to_string(seq) + ", slot " + std::to_string(slot) + ", pdu command : " + pdu + " }";
}

std::string answer(int seq, int slot, const std::string& response)
{
    return "{ seq " + std::to_string(seq) + ", slot " + std::to_string(slot) + ", pdu response : " + response + " }";
}

size_t count_of(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST(PacketPool, UserDataThatWouldTakeTheLastBlocksIsRefusedAndTheDaemonGoesOn)
{
    Gateway gateway{Gateway::quiet()};
    auto controller = gateway.controller();
    // Primary-rate links on no line: each keeps the 128 messages its queue takes.
    const int links = 9, per_link = 128;
    int seq = 0;
    for (int slot = 1; slot <= links; ++slot) {
        controller->send(command(++seq, slot, "create : pstn : isdn : { type pri, trunk 1, log 0, side user : NULL }"));
        ASSERT_EQ(controller->next(answer_time), answer(seq, slot, "success : NULL"));
    }
    for (int slot = 1; slot <= links; ++slot)
        for (int message = 0; message < per_link; ++message)
            controller->send(command(++seq, slot, "userData : '080200017D'H"));

    // Taken while the blocks above the reserve last, refused from then on, each refusal with a line.
    // The links' reports (congestion, statistics) come between the answers.
    int taken = 0, refused = 0;
    for (int answered = links + 1; answered <= seq; ++answered) {
        std::optional<std::string> message = controller->next(answer_time);
        while (message && message->find("pdu signal") != std::string::npos)
            message = controller->next(answer_time);
        ASSERT_TRUE(message) << "no answer to seq " << answered;
        const int slot = 1 + (answered - links - 1) / per_link;
        if (refused == 0 && *message == answer(answered, slot, "success : NULL"))
            ++taken;
        else if (*message == answer(answered, slot, "error : insufficientResources"))
            ++refused;
        else
            FAIL() << *message;
    }
    EXPECT_LE(taken, int(packet_pool_blocks - packet_pool_reserve));
    EXPECT_GE(taken, int(packet_pool_blocks - packet_pool_reserve) - 8);
    EXPECT_EQ(taken + refused, links * per_link);
    EXPECT_TRUE(eventually([&] {
        return count_of(gateway.daemon->errors(), ": userData refused, packet pool exhausted") == size_t(refused);
    }, answer_time));
    EXPECT_EQ(gateway.daemon->errors().find("terminate called"), std::string::npos);

    // A destroyed link gives its blocks back, and the last link takes data again.
    controller->send(command(++seq, 1, "destroy : NULL"));
    EXPECT_EQ(controller->wait_for("seq " + std::to_string(seq), answer_time), answer(seq, 1, "success : NULL"));
    controller->send(command(++seq, links, "userData : '080200017D'H"));
    EXPECT_EQ(controller->wait_for("seq " + std::to_string(seq), answer_time), answer(seq, links, "success : NULL"));
}

}  // namespace
