// The PSTN slot behind the slot service, on a channel of the emulated channel controller: the
// network side of a basic-rate line whose channel takes no frames for a while.

#include "slot_service_test.h"

#include "foundation/packet/pool_test_support.h"
#include "signalling/slots/pstn_factory.h"

namespace {

constexpr const char* mcc = "/dev/mcc/ctl";

class PstnSlotTest : public signallingtest::SlotServiceTest {
protected:
    PstnSlotTest() { PstnFactory::instance(); }
};

TEST_F(PstnSlotTest, FramesWaitingForAStalledChannelLeaveThePacketPoolItsReserve)
{
    EXPECT_EQ(deliver("create : pstn : isdn : { type bri, trunk 2, log 0, side network : NULL }"), success);
    EXPECT_EQ(deliver("activate : empty : NULL").back(), success[0]);
    // The driver holds the frames back: broadcast SETUPs fill its queue, then wait in the slot.
    board.set_draining(mcc, false);
    for (int n = 0; n < 100; ++n)
        ASSERT_EQ(deliver("userData : '08 01 01 05'H"), success) << n;
    // With the pool down to its reserve, the answers to a terminal's TEI request are not kept.
    std::vector<Packet> held;
    while (packet_pool_can_queue())
        held.push_back(packettest::make({}, 0));
    board.push(mcc, {0xFC, 0xFF, 0x03, 0x0F, 0x01, 0x00, 0x01, 0xFF});
    ASSERT_TRUE(testsupport::run_reactor_until(
        [&] { return logged(errors, "pstn-slot: packet pool exhausted, frame dropped"); }));
    EXPECT_EQ(Packet_pool::available(), packet_pool_reserve);
}

}  // namespace
