// The slots: which hooks an edge of their connection graph calls, in which order, and that a
// failed connect leaves the graph as the switch is; and the signals their event translators make
// of driver events.

#include "test_slot.h"

#include "server/slot_connection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <utility>

namespace {

using servertest::Strings;
using servertest::TestSlot;

// Four slots whose signals reach the controller; the third is slot 3.
class SlotGraph : public ::testing::Test {
protected:
    SlotGraph()
    {
        controller.received();
        TestSlot::calls.clear();
        a.id = 1, b.id = 2, c.id = 3, d.id = 4;
    }

    // The calls so far, taken.
    Strings calls() { return std::exchange(TestSlot::calls, {}); }
    // The signals so far as "<slot> <signal>", taken.
    Strings signals()
    {
        Strings taken;
        for (const std::string& message : controller.received()) {
            size_t comma = message.find(", pdu signal : ");
            std::string signal = message.substr(comma + 15, message.size() - comma - 17);
            taken.push_back(message.substr(7, comma - 7) + " " + signal);
        }
        return taken;
    }

    servertest::ServerHarness& controller = servertest::slot_service();
    reactortest::CaptureStream errors{std::cerr};
    TestSlot a{"a", 10, 11}, b{"b", 20, 21}, c{"c", 30, 31}, d{"d", 40, 41};
};

TEST_F(SlotGraph, AnEdgeOpensTheStreamsItNeedsAndMovingItsDestinationRemovesTheOldRouteFirstAndReleasesTheOldSource)
{
    EXPECT_TRUE(Connect(a, b));
    EXPECT_EQ(calls(), (Strings{"a output-stream", "b input-stream", "b connect-receiver a"}));
    EXPECT_EQ(signals(), (Strings{"1 transmitter : active : 10", "2 receiver : active : 21"}));
    EXPECT_EQ(b.GetSource(), &a);
    // Connecting again changes nothing.
    EXPECT_TRUE(Connect(a, b));
    EXPECT_TRUE(calls().empty());
    EXPECT_TRUE(signals().empty());

    EXPECT_TRUE(Connect(c, b));
    EXPECT_EQ(calls(), (Strings{"c output-stream", "a disconnect-transmitter b", "b connect-receiver c",
                                "a output-release"}));
    EXPECT_EQ(signals(), (Strings{"3 transmitter : active : 30"}));
    EXPECT_EQ(b.GetSource(), &c);
    EXPECT_TRUE(a.GetListeners().empty());
    // The old source keeps its stream open: only closing it reports it.
    EXPECT_TRUE(a.IsOutputOpen());
}

TEST_F(SlotGraph, TheHigherPriorityRoutesATieGoesToTheReceiverOnConnectAndTheTransmitterOnDisconnect)
{
    c.priority = 1;
    Connect(c, d);
    EXPECT_TRUE(Disconnect(d));
    d.priority = 2;
    Connect(c, d);
    Disconnect(d);
    Strings routes;
    for (const std::string& call : calls())
        if (call.find("connect-") != std::string::npos)
            routes.push_back(call);
    EXPECT_EQ(routes, (Strings{"c connect-transmitter d", "c disconnect-transmitter d", "d connect-receiver c",
                               "d disconnect-receiver c"}));
}

TEST_F(SlotGraph, ClosingStreamsDisconnectsFirstAndThenReports)
{
    Connect(a, b), Connect(a, c), Connect(a, d);
    calls(), signals();
    a.OnChangeOutputStream(false);
    Strings made = calls();
    ASSERT_EQ(made.size(), 7u);
    EXPECT_EQ(made.back(), "a output-release");
    made.pop_back();
    std::sort(made.begin(), made.end());
    EXPECT_EQ(made, (Strings{"a disconnect-transmitter b", "a disconnect-transmitter c", "a disconnect-transmitter d",
                             "b input-release", "c input-release", "d input-release"}));
    EXPECT_EQ(signals(), (Strings{"1 transmitter : inactive : NULL"}));

    Connect(a, b);
    calls(), signals();
    b.OnChangeInputStream(false);
    EXPECT_EQ(calls(), (Strings{"a disconnect-transmitter b", "b input-release", "a output-release"}));
    EXPECT_EQ(signals(), (Strings{"2 receiver : inactive : NULL"}));
    EXPECT_EQ(b.GetSource(), nullptr);
    // Unchanged states report nothing.
    b.OnChangeInputStream(false);
    a.OnChangeOutputStream(true);
    EXPECT_TRUE(signals().empty());
}

TEST_F(SlotGraph, AFailedMoveRestoresTheOldRouteOrDropsTheOldEdgeAsDoesARefusedDisconnect)
{
    Connect(a, b);
    calls(), signals();
    b.refuse = 1;
    EXPECT_FALSE(Connect(c, b));
    EXPECT_EQ(calls(), (Strings{"c output-stream", "a disconnect-transmitter b", "b connect-receiver c",
                                "b connect-receiver a", "c output-release"}));
    // The output opened for the failed connect is closed again.
    EXPECT_EQ(signals(), (Strings{"3 transmitter : active : 30", "3 transmitter : inactive : NULL"}));
    EXPECT_EQ(b.GetSource(), &a);

    b.refuse = 2;
    EXPECT_FALSE(Connect(c, b));
    EXPECT_EQ(calls(), (Strings{"c output-stream", "a disconnect-transmitter b", "b connect-receiver c",
                                "b connect-receiver a", "b input-release", "a output-release", "c output-release"}));
    EXPECT_EQ(b.GetSource(), nullptr);
    EXPECT_TRUE(a.GetListeners().empty());

    Connect(a, b);
    calls();
    a.refuse = 1;
    EXPECT_FALSE(Disconnect(b));
    EXPECT_EQ(calls(), (Strings{"a disconnect-transmitter b", "b input-release", "a output-release"}));
    EXPECT_EQ(b.GetSource(), nullptr);
    EXPECT_TRUE(Disconnect(b));
    EXPECT_TRUE(calls().empty());
}

TEST_F(SlotGraph, AConnectWithoutStreamsOrRouteLeavesNoStreamItOpened)
{
    a.output = false;
    EXPECT_FALSE(Connect(a, b));
    EXPECT_EQ(calls(), (Strings{"a output-stream"}));
    a.output = true, b.input = false;
    EXPECT_FALSE(Connect(a, b));
    EXPECT_EQ(calls(), (Strings{"a output-stream", "b input-stream", "a output-release"}));
    EXPECT_EQ(signals(), (Strings{"1 transmitter : active : 10", "1 transmitter : inactive : NULL"}));
    EXPECT_EQ(errors.text(),
              "slot 01:a don't have output stream to 02:b\nslot 02:b don't have input stream from 01:a\n");

    // a already feeds c, so only the stream b opened goes again.
    Connect(a, c);
    calls(), signals();
    b.input = true, b.refuse = 1;
    EXPECT_FALSE(Connect(a, b));
    EXPECT_EQ(calls(), (Strings{"b input-stream", "b connect-receiver a", "b input-release"}));
    EXPECT_EQ(signals(), (Strings{"2 receiver : active : 21", "2 receiver : inactive : NULL"}));
    EXPECT_EQ(a.GetListeners(), std::vector<Slot*>{&c});
}

TEST_F(SlotGraph, EventTranslatorsMakeSignalsOrLogWhatTheyDrop)
{
    // Each event, with the signals it made and the lines it logged.
    const std::vector<std::pair<std::function<void()>, Strings>> cases{
        {[&] { c.processTonecEvent(17, 100); }, {"3 tonec : { timestamp 100, event ced : NULL }"}},
        {[&] { c.processTonecEvent(18, 0); }, {"3 tonec : { timestamp 0, event cng : NULL }"}},
        {[&] { c.processTonecEvent(127, 2); }, {"3 tonec : { timestamp 2, event dtmf : 127 }"}},
        {[&] { c.processTonecEvent(0x0100, 3); }, {"3 tonec : { timestamp 3, event iva : code : 1 }"}},
        {[&] { c.processTonecEvent(0x1400, 3); }, {"3 tonec : { timestamp 3, event iva : code : 20 }"}},
        {[&] { c.processTonecEvent(0x1500, 4); }, {"3 tonec : { timestamp 4, event iva : ringoff : NULL }"}},
        {[&] { c.processTonecEvent(0x80, 5); }, {"bad DTMF code, ignored."}},
        {[&] { c.processTonecEvent(0x1600, 5); }, {"bad DTMF code, ignored."}},
        {[&] { c.processTonecEvent(0xFFFFFF00, 5); }, {"bad DTMF code, ignored."}},
        {[&] { c.processToneGenEvent(); }, {"3 tonec : { timestamp 0, event dtmfDone : NULL }"}},
        {[&] { c.processToneFltEvent(2100, 2); },
         {"3 tonec : { timestamp 0, event tone-presence : { freq 2100, presence TRUE } }"}},
        {[&] { c.processToneFltEvent(2100, 0); },
         {"3 tonec : { timestamp 0, event tone-presence : { freq 2100, presence FALSE } }"}},
        {[&] { c.processVADEvent(-1, -1); }, {"bad VAD event, ignored."}},
        {[&] { c.processVADEvent(-1, 0); }, {"3 vad : { vad-tx FALSE }"}},
        {[&] { c.processVADEvent(2, 1); }, {"3 vad : { vad-rx TRUE, vad-tx TRUE }"}},
        {[&] { c.processSDEvent(-1); }, {"bad SD event, ignored."}},
        {[&] { c.processSDEvent(0); }, {"3 sd : { sd-rx FALSE }"}},
        {[&] { c.processFlagsEvent(0x20000000, 0xA0000000); },
         {"3 vad : { vad-rx TRUE }", "3 selcal : { in-progress FALSE }"}},
        {[&] { c.processFlagsEvent(0xC0000000, 0xC0000000); },
         {"3 vad : { vad-tx TRUE }", "3 selcal : { in-progress TRUE }"}},
        {[&] { c.processFlagsEvent(0xFFFFFFFF, 0x1FFFFFFF); }, {}},
        {[&] { c.processBSSEvent(0.25f); }, {"3 bss : { score \"0.250000\" }"}},
        // The score text is cut to 30 characters.
        {[&] { c.processBSSEvent(-1e30f); }, {"3 bss : { score \"-10000000150474662198766888550\" }"}},
        {[&] { c.processRtpEvent(1, 7, 3000); }, {"3 rtp : pd : { value 7, timeout 3000 }"}},
        {[&] { c.processRtpEvent(2, 7, 3000); }, {}},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        size_t logged = errors.text().size();
        cases[i].first();
        Strings made = signals();
        std::istringstream lines(errors.text().substr(logged));
        for (std::string line; std::getline(lines, line);)
            made.push_back(line);
        EXPECT_EQ(made, cases[i].second) << "case " << i;
    }
}

TEST_F(SlotGraph, ASlotsOwnSignalsCarryItsNumberAndItNamesItselfByIt)
{
    c.OnActivated();
    c.OnDeactivated();
    c.OnAbort(5);
    c.OnUserData({'h', 'i'});
    c.OnNumber("123#");
    LGCP::IoctlResponse stopped;
    stopped.select_stopRecording().setValue(LGCP::StopRecordingCause::userRequest);
    c.OnIoctlResponse(stopped);
    TERM::ModemInformation information;
    information.set_rxSpeed(33600);
    information.set_txSpeed(28800);
    c.OnModem(information);
    TERM::ModemProceeding proceeding;
    proceeding.select_auth().set_username("u");
    c.OnModem(proceeding);
    Strings made = signals();
    ASSERT_EQ(made.size(), 8u);
    EXPECT_EQ(Strings(made.begin(), made.begin() + 6),
              (Strings{"3 activated : NULL", "3 deactivated : networkError", "3 abort : 5", "3 userData : '68 69'H",
                       "3 number : \"123#\"", "3 ioctl : stopRecording : userRequest"}));
    EXPECT_EQ(made[6].rfind("3 modemInformation : { rxSpeed 33600, txSpeed 28800, ", 0), 0u) << made[6];
    EXPECT_EQ(made[7].rfind("3 modemProceeding : auth : { username \"u\"", 0), 0u) << made[7];

    std::ostringstream names;
    a.id = 5;
    b.id = 1500;
    d.id = Slot::no_id;
    names << a << ' ' << b << ' ' << d;
    EXPECT_EQ(names.str(), "05:a i1500:b na:d");
}

}  // namespace
