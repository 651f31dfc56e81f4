// The raw HDLC slot behind the slot service, on the emulated channel controller and switch, with its
// trace switch on: the channel it routes and activates itself from either end of a connection, the
// packages it frames, the frames it collects, the statistics it reports, and what it refuses.

#include "../hardware/emulated_device_test.h"
#include "../server/test_slot.h"

#include "board/hw_mux.h"
#include "foundation/packet/pool_test_support.h"
#include "server/trace_ctl.h"
#include "signalling/slots/hdlc_slot_factory.h"

#include <cerrno>

namespace {

using Strings = std::vector<std::string>;

constexpr const char* mcc = "/dev/mcc/ctl";
constexpr uint32_t mcc_allocate = 0x40144D00;

class HdlcSlotTest : public boardtest::BoardTest {
protected:
    HdlcSlotTest()
    {
        HdlcSlotFactory::instance();
        HwMux::instance();
        traces.hdlc = true;
        board.set(mcc, "next-timeslot 300");
        board.clear_journal();
    }
    ~HdlcSlotTest() override
    {
        traces.hdlc = false;
        for (int slot : {1, 2})
            deliver(slot, "destroy : NULL");
        controller.received();
    }

    // The answer to the command, after the signals that came with it.
    Strings deliver(int slot, const std::string& command)
    {
        controller.deliver("{ seq 1, slot " + std::to_string(slot) + ", pdu command : " + command + " }");
        return controller.received();
    }
    // The slot's signals that arrived meanwhile or within the time, at least `count` of them.
    Strings signals(size_t count, unsigned limit_ms = 5000)
    {
        Strings got;
        testsupport::run_reactor_until(
            [&] {
                for (const std::string& message : controller.received())
                    got.push_back(message);
                return got.size() >= count;
            },
            limit_ms);
        return got;
    }
    std::string traced(const std::string& line) const { return "HdlcSlot[1/*]: " + line + "\n"; }

    servertest::ServerHarness& controller = servertest::slot_service();
    const Strings success{"{ seq 1, slot 1, pdu response : success : NULL }"};
};

TEST_F(HdlcSlotTest, RoutesAndActivatesItsChannelFromEitherEndAndFramesPackagesForIt)
{
    EXPECT_EQ(deliver(1, "create : hdlcParams : { trunk 2, log 0, address 258 }"), success);
    EXPECT_EQ(deliver(2, "create : ext : { transmitter 5, receiver 6 }"),
              Strings{"{ seq 1, slot 2, pdu response : success : NULL }"});
    EXPECT_TRUE(logged(debug, "HdlcSlotFactory.INewSlot")) << debug.text();
    EXPECT_NE(debug.text().find(traced("trunk=2, address=258")), std::string::npos);

    // The slot routes its channel to the peer's receive channel and activates it.
    EXPECT_EQ(deliver(1, "connect : 2"), (Strings{"{ slot 1, pdu signal : transmitter : active : -1 }",
                                                  "{ slot 2, pdu signal : receiver : active : 6 }", success[0]}));
    EXPECT_EQ(requests(mcc, "MCC"), (Strings{"MCC_ALLOCATE type=0 word1=512 word2=0 word3=1 word4=4 -> 0",
                                             "MCC_TIMESLOT -> 300"}));
    EXPECT_EQ(testsupport::switch_requests(board), (Strings{"connect output=6 source=300 -> 0",
                                                            "connect output=300 source=6 -> 0"}));
    for (const char* line : {"IHwConnectTransmitter", "Try to activate HDCL, params.tdm = 6", "HDLC activated successfully"})
        EXPECT_NE(debug.text().find(traced(line)), std::string::npos) << line;

    // A package is framed with the address and sequence octet, and handed to the ready channel.
    board.clear_journal();
    EXPECT_EQ(deliver(1, "ioctl : hdlcPackages : { { body 'AB'H } }"), success);
    EXPECT_NE(debug.text().find(traced("enqueue package: 01 02 00 AB")), std::string::npos);
    ASSERT_TRUE(testsupport::run_reactor_until([&] { return !testsupport::device_entries(board, mcc, "frame").empty(); }));
    EXPECT_NE(debug.text().find(traced("on_hdlc_ready") + "01 02 00 AB\n"), std::string::npos) << debug.text();

    // Frames: for the slot, one too short to carry an address, one with the header only; each ends
    // its burst, and an empty collection sends nothing.
    board.push(mcc, {0x01, 0x02, 0x20, 0xAA, 0x00});
    board.push(mcc, {0x01, 0x02});
    board.push(mcc, {0x01, 0x02, 0x40});
    EXPECT_EQ(signals(2), (Strings{"{ slot 1, pdu signal : ioctl : hdlcPackages : { { body 'aa 00'H } } }",
                                   "{ slot 1, pdu signal : ioctl : hdlcPackages : { { body ''H } } }"}));
    for (const char* line : {"on_hdlc_receive\n01 02 20 AA 00", "flushResponce: 1", "on_hdlc_receive\n01 02",
                             "flushResponce: 0"})
        EXPECT_NE(debug.text().find(traced(line)), std::string::npos) << line;
    // Packages that would take the packet pool's reserve are refused, all of them.
    {
        std::vector<Packet> held;
        while (packet_pool_can_queue(2))
            held.push_back(packettest::make({}, 0));
        EXPECT_EQ(deliver(1, "ioctl : hdlcPackages : { { body 'CD'H }, { body 'EF'H } }"),
                  Strings{"{ seq 1, slot 1, pdu response : error : insufficientResources }"});
        EXPECT_TRUE(logged(errors, "HdlcSlot[1/*]: hdlcPackages refused, packet pool exhausted"));
    }
    // The next package acknowledges the last sequence number received.
    board.clear_journal();
    EXPECT_EQ(deliver(1, "ioctl : hdlcPackages : { { body 'CD'H } }"), success);
    ASSERT_TRUE(testsupport::run_reactor_until([&] { return !testsupport::device_entries(board, mcc, "frame").empty(); }));
    const std::string fields = testsupport::device_entries(board, mcc, "frame").at(0).fields;
    EXPECT_EQ(fields.substr(fields.find("bytes=")), "bytes=010222CD");

    // Disconnected, the channel goes; connected from the other end, it comes back on the peer's
    // transmit channel.
    board.clear_journal();
    EXPECT_EQ(deliver(2, "disconnect : NULL"), Strings{"{ seq 1, slot 2, pdu response : success : NULL }"});
    EXPECT_TRUE(testsupport::run_reactor_until([&] { return board.state(mcc).empty(); }));
    EXPECT_NE(debug.text().find(traced("IHwDisconnectTransmitter")), std::string::npos);
    EXPECT_EQ(deliver(2, "connect : 1"), (Strings{"{ slot 2, pdu signal : transmitter : active : 5 }",
                                                  "{ slot 1, pdu signal : receiver : active : -1 }",
                                                  "{ seq 1, slot 2, pdu response : success : NULL }"}));
    EXPECT_NE(debug.text().find(traced("IHwConnectReceiver")), std::string::npos);
    EXPECT_NE(debug.text().find(traced("Try to activate HDCL, params.tdm = 5")), std::string::npos);
    EXPECT_EQ(board.state(mcc).size(), 1u);
    EXPECT_EQ(deliver(1, "disconnect : NULL"), success);
    EXPECT_NE(debug.text().find(traced("IHwDisconnectReceiver")), std::string::npos);
    EXPECT_TRUE(testsupport::run_reactor_until([&] { return board.state(mcc).empty(); }));
}

TEST_F(HdlcSlotTest, AFailedActivationIsSignalledALostChannelLoggedAndTheStatisticsComeAfterThreeSecondsOrAtADeactivation)
{
    EXPECT_EQ(deliver(1, "create : hdlcParams : { trunk 2, log 0, address 258 }"), success);
    // Only the packages ioctl is served.
    EXPECT_EQ(deliver(1, "ioctl : ss7RqBSN : NULL"), Strings{"{ seq 1, slot 1, pdu response : error : unsupported }"});
    // A channel the controller cannot give: the activation answers success and signals the failure.
    board.fail(mcc, mcc_allocate, EIO);
    EXPECT_EQ(deliver(1, "activate : empty : NULL"), (Strings{"{ slot 1, pdu signal : deactivated : networkError }",
                                                          "{ seq 1, slot 1, pdu response : success : NULL }"}));
    EXPECT_NE(debug.text().find(traced("IActivate")), std::string::npos);
    // Activated again; the driver ends the channel: logged whatever the trace switch, and signalled.
    EXPECT_EQ(deliver(1, "activate : empty : NULL"), success);
    EXPECT_EQ(board.state(mcc).size(), 1u);
    traces.hdlc = false;
    board.end_of_file(mcc);
    EXPECT_EQ(signals(1), Strings{"{ slot 1, pdu signal : deactivated : networkError }"});
    EXPECT_TRUE(logged(debug, "HdlcSlot[1/*]: on_hdlc_error"));
    // Three seconds on, the channel's counters, once; a deactivation reports them at once.
    const std::string report = "{ slot 1, pdu signal : ioctl : hdlcLinkInfo : { txSU 0, txDiscard 0, txError 0, "
                               "txOverflow 0, rxSU 0 } }";
    Mux::set_clock_offset_for_tests(3000 * 1000);
    EXPECT_EQ(signals(2, 200), Strings{report});
    EXPECT_EQ(deliver(1, "deactivate : NULL"), (Strings{report, success[0]}));
}

}  // namespace
