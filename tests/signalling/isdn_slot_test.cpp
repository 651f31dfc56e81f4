// The ISDN slot behind the slot service, on a channel of the emulated channel controller, with its
// trace switch on: the frames it reads and writes for its data link, the controller's view of the
// link, and a channel the driver ends.

#include "slot_service_test.h"

#include "server/trace_ctl.h"
#include "signalling/slots/isdn_factory.h"

namespace {

using signallingtest::Strings;

constexpr const char* mcc = "/dev/mcc/ctl";

class IsdnSlotTest : public signallingtest::SlotServiceTest {
protected:
    IsdnSlotTest()
    {
        IsdnFactory::instance();
        traces.isdn = true;
        board.set(mcc, "next-timeslot 300");
    }
    ~IsdnSlotTest() override { traces.isdn = false; }

    // The frames written on the channel since the journal was last cleared.
    Strings frames()
    {
        Strings written;
        for (const testsupport::JournalEntry& entry : testsupport::device_entries(board, mcc, "frame"))
            written.push_back(entry.fields.substr(entry.fields.find("bytes=") + 6));
        return written;
    }
};

TEST_F(IsdnSlotTest, CarriesTheLinksFramesAndTheControllersMessagesAndTracesEachFrame)
{
    EXPECT_EQ(deliver("create : isdn : { type pri, trunk 1, log 0, side user : NULL }"), success);
    board.clear_journal();
    EXPECT_EQ(deliver("activate : empty : NULL"), success);
    ASSERT_TRUE(testsupport::run_reactor_until([&] { return frames() == Strings{"00017F"}; }));
    EXPECT_TRUE(logged(debug, "isdn-slot[300]: : tx 00 01 7F"));

    // The network's UA: the link is up, and the controller hears its state first.
    board.push(mcc, {0x00, 0x01, 0x73});
    const Strings up = signals(2);
    ASSERT_EQ(up.size(), 2u);
    EXPECT_EQ(up[0].rfind("{ slot 1, pdu signal : ioctl : isdnLinkInfo : { side user, ", 0), 0u) << up[0];
    EXPECT_NE(up[0].find("lapdState multiple-frame-established"), std::string::npos) << up[0];
    EXPECT_EQ(up[1], "{ slot 1, pdu signal : activated : NULL }");
    EXPECT_TRUE(logged(debug, "isdn-slot[300]: : rx 00 01 73"));

    // Layer 3 both ways.
    board.clear_journal();
    EXPECT_EQ(deliver("userData : '08 01 05'H"), success);
    ASSERT_TRUE(testsupport::run_reactor_until([&] { return !frames().empty(); }));
    EXPECT_EQ(frames(), Strings{"00010000080105"});
    board.push(mcc, {0x02, 0x01, 0x00, 0x02, 0x08, 0x01, 0x85});
    EXPECT_EQ(signals(1), Strings{"{ slot 1, pdu signal : userData : '08 01 85'H }"});

    // Released: DISC, and the UA ends it.
    board.clear_journal();
    EXPECT_EQ(deliver("deactivate : NULL"), success);
    ASSERT_TRUE(testsupport::run_reactor_until([&] { return !frames().empty(); }));
    EXPECT_EQ(frames().at(0), "000153");
    board.push(mcc, {0x00, 0x01, 0x73});
    const Strings down = signals(2);
    ASSERT_EQ(down.size(), 2u);
    EXPECT_NE(down[0].find("lapdState tei-assigned"), std::string::npos) << down[0];
    EXPECT_EQ(down[1], "{ slot 1, pdu signal : deactivated : networkError }");

    // A channel the driver ends is let go, with one line, and the controller hears the link is down;
    // the link can send nothing more, and establishing it is refused.
    board.end_of_file(mcc);
    EXPECT_EQ(signals(1), Strings{"{ slot 1, pdu signal : deactivated : networkError }"});
    EXPECT_TRUE(logged(errors, "isdn-slot[300]: end of file, channel closed"));
    board.clear_journal();
    EXPECT_EQ(deliver("activate : empty : NULL"), Strings{"{ seq 1, slot 1, pdu response : error : unsupported }"});
    EXPECT_TRUE(logged(errors, "isdn-slot[300]: activate refused, channel closed"));
    EXPECT_EQ(frames(), Strings{});
}

TEST_F(IsdnSlotTest, AMessageThatFindsTheSendQueueFullIsAnsweredWithAnError)
{
    EXPECT_EQ(deliver("create : isdn : { type pri, trunk 1, log 0, side user : NULL }"), success);
    // Not established, the link keeps 128 messages; it drops the next ones, and says so.
    for (int n = 0; n < 128; ++n)
        ASSERT_EQ(deliver("userData : '08 01 05'H"), success) << n;
    for (int n = 0; n < 3; ++n)
        EXPECT_EQ(deliver("userData : '08 01 05'H"),
                  Strings{"{ seq 1, slot 1, pdu response : error : insufficientResources }"});
    EXPECT_TRUE(logged(debug, "LAPD[1] (TEI assigned): discard outgoing message: buffer overflow"));
}

}  // namespace
