// The channel-controller data slot behind the slot service, on a channel of the emulated channel
// controller: the controller's data that the channel cannot take, and a channel that ends or fails a read.

#include "slot_service_test.h"

#include "signalling/slots/mcc_factory.h"
#include "signalling/slots/mcc_slot.h"

#include <fcntl.h>

namespace {

using signallingtest::Strings;

constexpr const char* mcc = "/dev/mcc/ctl";

class MccSlotTest : public signallingtest::SlotServiceTest {
protected:
    MccSlotTest()
    {
        MccFactory::instance();
        board.set(mcc, "next-timeslot 300");
    }
};

TEST_F(MccSlotTest, DataTheChannelCannotTakeIsAnsweredWithAnErrorAndAChannelThatEndsIsSignalledLost)
{
    EXPECT_EQ(deliver("create : mcc : { type data, mode standard }"), success);
    // The driver holds the frames back: the writes fill its queue.
    board.set_draining(mcc, false);
    const std::string frame = "userData : '" + std::string(2 * 4096, 'A') + "'H";
    Strings answer = success;
    for (int n = 0; n < 1000 && answer == success; ++n)
        answer = deliver(frame);
    EXPECT_EQ(answer, Strings{"{ seq 1, slot 1, pdu response : error : insufficientResources }"});
    EXPECT_TRUE(logged(errors, "mcc[300]: write fail: Resource temporarily unavailable"));

    // The driver ends the channel: the controller hears the slot lost, and its data is refused.
    board.end_of_file(mcc);
    EXPECT_EQ(signals(1), Strings{"{ slot 1, pdu signal : deactivated : networkError }"});
    EXPECT_TRUE(logged(errors, "mcc[300]: end of file, channel closed"));
    EXPECT_EQ(deliver("userData : '01'H"), Strings{"{ seq 1, slot 1, pdu response : error : unsupported }"});
    EXPECT_TRUE(logged(errors, "mcc[300]: userData dropped, channel closed"));
}

TEST_F(MccSlotTest, AChannelThatFailsAReadIsLetGoAndSignalledLost)
{
    // A descriptor that polls readable and fails every read.
    Fd directory = open(root.path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_TRUE(directory);
    MccSlot slot(directory, 300);
    directory.close();
    slot.id = 1;
    EXPECT_EQ(signals(1), Strings{"{ slot 1, pdu signal : deactivated : networkError }"});
    EXPECT_TRUE(logged(errors, "mcc[300]: read error: Is a directory, channel closed"));
}

}  // namespace
