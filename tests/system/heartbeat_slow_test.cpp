// The controller heartbeat in real time: two minutes of silence. Slow by nature, and run by the
// test command all the same.

#include "gateway.h"
#include "tpkt_client.h"

#include <gtest/gtest.h>

namespace {

using namespace systemtest;

TEST(SlowHeartbeat, AControllerSilentForTwoMinutesAfterACommandIsDropped)
{
    Gateway gateway;
    TpktClient client(gateway.port);
    client.send_raw({0x03, 0x00, 0x00, 0x08, 0x80, 0x01, 0x07, 0x18});
    ASSERT_TRUE(client.receive_frame(milliseconds(10000)));
    auto command = std::chrono::steady_clock::now();

    ASSERT_TRUE(gateway.daemon->wait_for_errors("heartbeat timeout!!!\n", milliseconds(150000)));
    EXPECT_GE(std::chrono::steady_clock::now() - command, milliseconds(119000));
    // The TCP connection goes at once, not after some keep-alive.
    EXPECT_TRUE(client.closed_by_peer(milliseconds(2000)));
    EXPECT_TRUE(gateway.daemon->running());
}

}  // namespace
