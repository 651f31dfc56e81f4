// The connection graph of the slots: which hooks an edge calls, in which order, and that a failed
// connect leaves the graph as the switch is.

#include "scripted_service.h"
#include "test_slot.h"
#include "../foundation/reactor/reactor_test_support.h"

#include "server/ctrl_server.h"
#include "server/slot_connection.h"
#include "server/slots.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <utility>

namespace {

using servertest::TestSlot;
using Strings = std::vector<std::string>;

// Four slots whose signals reach a recording service; the server has no controller to send to.
class SlotGraph : public ::testing::Test {
protected:
    SlotGraph()
    {
        server.Bind(&front);
        server.Bind(Slots::instance());
        TestSlot::calls.clear();
        a.id = 1, b.id = 2, c.id = 3, d.id = 4;
    }
    ~SlotGraph() override { Slots::instance()->server = nullptr; }

    // The calls and signals so far, taken.
    Strings calls() { return std::exchange(TestSlot::calls, {}); }
    Strings signals()
    {
        Strings taken;
        for (const std::string& event : std::exchange(front.events, {}))
            taken.push_back(event.substr(event.find(' ') + 1));
        return taken;
    }
    std::string errors() { return servertest::without_unsent(logged.text()); }

    reactortest::CaptureStream logged{std::cerr};
    CtrlSrv::Server server;
    servertest::ScriptedService front;
    TestSlot a{"a", 10, 11}, b{"b", 20, 21}, c{"c", 30, 31}, d{"d", 40, 41};
};

TEST_F(SlotGraph, AnEdgeOpensTheStreamsItNeedsAndConnectingAgainChangesNothing)
{
    EXPECT_TRUE(Connect(a, b));
    EXPECT_EQ(calls(), (Strings{"a output-stream", "b input-stream", "b connect-receiver a"}));
    EXPECT_EQ(signals(), (Strings{"transmitter : active : 10", "receiver : active : 21"}));
    EXPECT_EQ(b.GetSource(), &a);
    EXPECT_EQ(a.GetListeners(), std::vector<Slot*>{&b});

    EXPECT_TRUE(Connect(a, b));
    EXPECT_TRUE(calls().empty());
    EXPECT_TRUE(signals().empty());

    // Listeners stay sorted by identity, without duplicates.
    d.LogicalConnect(a), c.LogicalConnect(a), c.LogicalConnect(a);
    const std::vector<Slot*>& listeners = a.GetListeners();
    EXPECT_EQ(listeners.size(), 3u);
    EXPECT_TRUE(std::is_sorted(listeners.begin(), listeners.end(), std::less<Slot*>()));
    c.LogicalDisconnect();
    EXPECT_EQ(std::count(listeners.begin(), listeners.end(), &c), 0);
    EXPECT_EQ(c.GetSource(), nullptr);
}

TEST_F(SlotGraph, MovingADestinationRemovesTheOldRouteFirstAndReleasesTheOldSource)
{
    Connect(a, b);
    calls(), signals();
    EXPECT_TRUE(Connect(c, b));
    EXPECT_EQ(calls(), (Strings{"c output-stream", "a disconnect-transmitter b", "b connect-receiver c",
                                "a output-release"}));
    EXPECT_EQ(signals(), (Strings{"transmitter : active : 30"}));
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
    Strings made;
    for (const std::string& call : calls())
        if (call.find("connect-") != std::string::npos)
            made.push_back(call);
    EXPECT_EQ(made, (Strings{"c connect-transmitter d", "c disconnect-transmitter d", "d connect-receiver c",
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
    EXPECT_EQ(signals(), (Strings{"transmitter : inactive : NULL"}));
    EXPECT_FALSE(a.IsOutputOpen());

    Connect(a, b);
    calls(), signals();
    b.OnChangeInputStream(false);
    EXPECT_EQ(calls(), (Strings{"a disconnect-transmitter b", "b input-release", "a output-release"}));
    EXPECT_EQ(signals(), (Strings{"receiver : inactive : NULL"}));
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
    EXPECT_EQ(signals(), (Strings{"transmitter : active : 30", "transmitter : inactive : NULL"}));
    EXPECT_EQ(b.GetSource(), &a);
    EXPECT_FALSE(c.IsOutputOpen());

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
    EXPECT_EQ(signals(), (Strings{"transmitter : active : 10", "transmitter : inactive : NULL"}));
    EXPECT_EQ(errors(), "slot 01:a don't have output stream to 02:b\nslot 02:b don't have input stream from 01:a\n");

    // a already feeds c, so only the stream b opened goes again.
    Connect(a, c);
    calls(), signals();
    b.input = true, b.refuse = 1;
    EXPECT_FALSE(Connect(a, b));
    EXPECT_EQ(calls(), (Strings{"b input-stream", "b connect-receiver a", "b input-release"}));
    EXPECT_EQ(signals(), (Strings{"receiver : active : 21", "receiver : inactive : NULL"}));
    EXPECT_TRUE(a.IsOutputOpen());
    EXPECT_EQ(a.GetListeners(), std::vector<Slot*>{&c});
}

}  // namespace
