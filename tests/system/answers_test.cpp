// What the daemon answers, compared byte for byte on the wire, so that our encoder and decoder
// cannot share a mistake unseen.

#include "gateway.h"
#include "tpkt_client.h"

#include <gtest/gtest.h>

namespace {

using namespace systemtest;

class RawAnswers : public ::testing::Test {
protected:
    // The answer frame to the bytes, or "" when none comes.
    std::string answer(const Bytes& frame)
    {
        client.send_raw(frame);
        std::optional<Bytes> received = client.receive_frame(milliseconds(5000));
        return received ? hex(*received) : "";
    }

    // No trunk status reports: every frame that comes back is an answer.
    Gateway gateway{Gateway::quiet()};
    TpktClient client{gateway.port};
};

TEST_F(RawAnswers, PingIsAnsweredWithTheSeqItCarried)
{
    EXPECT_EQ(answer({0x03, 0x00, 0x00, 0x08, 0x80, 0x01, 0x07, 0x18}), "03 00 00 08 80 01 07 40");
    EXPECT_EQ(answer({0x03, 0x00, 0x00, 0x06, 0x06, 0x00}), "03 00 00 05 10");
}

TEST_F(RawAnswers, WhatNoServiceMayHandleIsAnsweredWithAnError)
{
    // destroy, seq 7, slot 1024: invalidSlot, without the slot.
    EXPECT_EQ(answer({0x03, 0x00, 0x00, 0x0A, 0xC0, 0x01, 0x07, 0x04, 0x00, 0x0A}), "03 00 00 08 80 01 07 62");
    // A response sent by the controller: unexpectedMsgType.
    EXPECT_EQ(answer({0x03, 0x00, 0x00, 0x08, 0x80, 0x01, 0x07, 0x40}), "03 00 00 08 80 01 07 64");
    // query with slot 5: claimed by nobody, so unexpectedMsgType carrying the slot.
    EXPECT_EQ(answer({0x03, 0x00, 0x00, 0x0A, 0xC0, 0x01, 0x07, 0x00, 0x05, 0x00}), "03 00 00 0A C0 01 07 00 05 64");
}

TEST_F(RawAnswers, GarbageIsLoggedAndUnansweredAndTheLinkGoesOn)
{
    client.send_raw({0x03, 0x00, 0x00, 0x07, 0xDE, 0xAD, 0xBE});
    // Answers keep the order of the commands: the first one belongs to the ping.
    EXPECT_EQ(answer({0x03, 0x00, 0x00, 0x08, 0x80, 0x01, 0x09, 0x18}), "03 00 00 08 80 01 09 40");
    EXPECT_TRUE(gateway.daemon->wait_for_errors("]: receive fail: decode error!\n msg: DE AD BE \n", milliseconds(5000)));
}

}  // namespace
