// The data link's state machine on the test clock, seen from the line (the frames it sends) and from
// its host (activation, statuses, messages, congestion); a user-side link, its peer the network.

#include "signalling/link_owner.h"
#include "support/controller_pair.h"

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <sstream>

namespace {

using namespace signallingtest;

// A step: "rx <frame>" from the line, "msg <n>" n (hex) one-octet messages 01, 02 ... from above, "up"
// and "down" (DL-ESTABLISH and DL-RELEASE), or milliseconds for the clock to move; then the frames
// the link sent, what its host saw and the state the link is in.
struct Step {
    const char *action, *sent, *events;
    unsigned state;
};

class LapdTest : public ::testing::Test, public GenericHDLC, public ISDN::LAPD::Notify {
protected:
    LapdTest() { fresh(); }
    void fresh() { (owner = std::make_unique<LinkOwner>(ISDN::Side::user, this))->link->listener = this; }
    bool hdlc_transmit(Packet& frame) override { return sent += (sent.empty() ? "" : "|") + frame.text(), true; }
    bool is_open() const override { return true; }
    bool is_ready() const override { return true; }
    void OnLAPD_FlowStatusChange(ISDN::LAPD* link) override
    {
        ACP::IsdnLinkInfo info;
        link->GetInfo(info);
        flow += std::to_string(link->flow_status()) + "@" + std::to_string(info.get_queueOut().getValue()) + " ";
    }

    void act(const std::string& action)
    {
        std::istringstream words(action);
        std::string verb;
        words >> verb >> std::hex;
        Packet frame;
        frame.reserve_head(0);
        for (unsigned octet; words >> octet;)
            frame.put(static_cast<unsigned char>(octet));
        if (verb == "rx")
            owner->link->on_hdlc_receive(frame);
        for (unsigned char octet = 1; verb == "msg" && octet <= frame[0]; ++octet)
            owner->send({octet});
        if (verb == "up" || verb == "down")
            verb == "up" ? owner->link->activate() : owner->link->deactivate();
        if (isdigit(verb[0]))
            clock.advance(std::stoul(verb));
    }
    void run(const std::vector<Step>& steps)
    {
        for (const Step& step : steps) {
            act(step.action);
            EXPECT_EQ(std::exchange(sent, ""), step.sent) << step.action;
            EXPECT_EQ(owner->take_events(), step.events) << step.action;
            EXPECT_EQ(owner->state(), step.state) << step.action;
        }
    }

    FrozenClock clock;
    std::unique_ptr<LinkOwner> owner;
    std::string sent, flow;
};

TEST_F(LapdTest, UnnumberedFramesActAsTheStateTableSaysInEveryState)
{
    // The actions that lead to a state, then one frame and what follows it.
    const char* setups[] = {"", "", "", "", "up", "rx 02 01 7F;down", "rx 02 01 7F", "rx 02 01 7F;10000"};
    const std::pair<unsigned, Step> rows[] = {
        {3, {"rx 02 01 7F", "02 01 73", "up|", 6}},
        {3, {"rx 02 01 53", "02 01 1F", "", 3}},
        {3, {"rx 00 01 73", "", "Other - Unknown|", 3}},
        {3, {"rx 00 01 0F", "00 01 7F", "", 4}},
        {4, {"rx 02 01 7F", "02 01 73", "", 4}},
        {4, {"rx 02 01 53", "02 01 1F", "", 4}},
        {4, {"rx 00 01 73", "", "up|", 6}},
        {4, {"rx 00 01 63", "", "UA (F = 0)|", 4}},
        {4, {"rx 00 01 0F", "", "", 4}},
        {4, {"rx 00 01 1F", "", "error (DM received)|", 3}},
        {5, {"rx 02 01 7F", "02 01 1F", "", 5}},
        {5, {"rx 02 01 53", "02 01 73", "", 5}},
        {5, {"rx 00 01 73", "", "success (UA received)|", 3}},
        {6, {"rx 02 01 7F", "02 01 73", "Peer initiated re-establishment - SABME|up|", 6}},
        {6, {"rx 02 01 53", "02 01 73", "remote error (DISC received)|", 3}},
        {6, {"rx 00 01 73", "", "Other - Unknown|", 6}},
        {6, {"rx 00 01 1F", "", "DM (F = 1)|", 6}},
        {6, {"rx 00 01 0F", "00 01 7F", "Receipt of DM response (F = 0)|", 4}},
        {6, {"rx 00 01 87", "00 01 7F", "Other - Receipt of FRMR response|", 4}},
        {6, {"rx 02 01 00", "", "Other - Receipt of frame with wrong size|", 6}},
        {7, {"rx 02 01 7F", "02 01 73", "Peer initiated re-establishment - SABME|up|", 6}},
        {7, {"rx 00 01 1F", "00 01 7F", "DM (F = 1)|", 4}},
    };
    for (const auto& [state, step] : rows) {
        fresh();
        std::istringstream setup(setups[state]);
        for (std::string action; std::getline(setup, action, ';');)
            act(action);
        ASSERT_EQ(owner->state(), state) << setups[state];
        sent.clear(), owner->take_events(), run({step});
    }
}

TEST_F(LapdTest, OutOfSequenceFramesAreRejectedOnceAndARejectResendsFromItsNumber)
{
    run({{"rx 02 01 7F", "02 01 73", "up|", 6},
         // N(S) 1, 2, 2 with P, then 0 in sequence: one REJ, then RR only for the poll.
         {"rx 02 01 02 00 AA", "02 01 09 00", "", 6},
         {"rx 02 01 04 00 BB", "", "", 6},
         {"rx 02 01 04 01 BB", "02 01 01 01", "", 6},
         {"rx 02 01 00 00 CC", "02 01 01 02", "data CC|", 6},
         // The frame in sequence ended the exception: the next gap is rejected again.
         {"rx 02 01 04 00 DD", "02 01 09 02", "", 6},
         // Seven frames fill the window; the eighth waits.
         {"msg 8", "00 01 00 02 01|00 01 02 02 02|00 01 04 02 03|00 01 06 02 04|00 01 08 02 05|00 01 0A 02 06|"
                   "00 01 0C 02 07", "", 6},
         // REJ with N(R) 2: frames 3 to 7 again, numbered from 2, and the window lets the eighth go.
         {"rx 00 01 09 04", "00 01 04 02 03|00 01 06 02 04|00 01 08 02 05|00 01 0A 02 06|00 01 0C 02 07|00 01 0E 02 08",
          "", 6},
         {"rx 00 01 01 10", "", "", 6}});
    // Every field of the report, the side as the caller's record holds it; then nothing new to report.
    ACP::IsdnLinkInfo info;
    info.set_side(ACP::IsdnSide::network);
    EXPECT_TRUE(owner->link->GetInfo(info));
    EXPECT_EQ(testsupport::collapse(info.asValueNotation()),
              "{ side network, msuTxCount 8, msuRxCount 1, mT200 0, mT203 0, errors 0, retrains 5, rejected 4, "
              "badconfirm 0, outOverflows 0, ackOverflows 0, lapdState multiple-frame-established, rc 0, "
              "peerBusy FALSE, ownBusy FALSE, rejException TRUE, ackPending FALSE, l3Initiated FALSE, "
              "establishable TRUE, queuedUpRQ FALSE, retrRQ FALSE, ackRQ FALSE, t200run FALSE, t203run TRUE, "
              "vs 8, va 8, vr 1, queueOut 0, queueAck 0 }");
    EXPECT_FALSE(owner->link->GetInfo(info));
}

TEST_F(LapdTest, UnansweredFramesRecoverThroughEnquiriesAndReestablishmentAndIdleLinksArePolled)
{
    const char *enquiry = "00 01 01 01", *sabme = "00 01 7F";
    run({{"rx 02 01 7F", "02 01 73", "up|", 6},
         {"msg 1", "00 01 00 00 01", "", 6},
         {"999", "", "", 6},
         {"1", enquiry, "", 7},
         {"1000", enquiry, "", 7},
         {"1000", enquiry, "", 7},
         {"1000", sabme, "Unsuccessful retransmission (N200 times) - Status enquiry|", 4},
         {"1000", sabme, "", 4},
         {"1000", sabme, "", 4},
         {"1000", sabme, "", 4},
         {"1000", "", "Unsuccessful retransmission (N200 times) - SABME|link error (T200 expired N200 times)|", 3},
         // Established again and idle: polled after 10 s, back to normal on the answer.
         {"rx 02 01 7F", "02 01 73", "up|", 6},
         {"9999", "", "", 6},
         {"1", enquiry, "", 7},
         {"rx 00 01 01 01", "", "", 6}});
}

TEST_F(LapdTest, TheSendQueueTakes128MessagesAndReportsCongestionFrom89DownTo64)
{
    std::ostringstream log;
    std::streambuf* saved = std::clog.rdbuf(log.rdbuf());
    act("msg 81");
    std::clog.rdbuf(saved);
    EXPECT_EQ(log.str(), "LAPD[0] (TEI assigned): discard outgoing message: buffer overflow\n");
    EXPECT_EQ(flow, "1@89 ");
    // Established, each acknowledgement of one frame lets one more go: the queue shrinks by one.
    act("rx 02 01 7F");
    for (unsigned nr = 1; flow == "1@89 " && nr < 128; ++nr) {
        std::ostringstream frame;
        frame << "rx 00 01 01 " << std::hex << (nr << 1);
        act(frame.str());
    }
    EXPECT_EQ(flow, "1@89 0@64 ");
}

TEST_F(LapdTest, ABasicRateUserAsksForItsTeiAnswersChecksAndStartsAgainWhenItIsRemoved)
{
    // On a primary-rate link a UI frame goes nowhere; on a basic-rate one it goes up.
    run({{"rx 02 FF 03 08 01 01 05", "", "", 3}});
    owner->link->change_to_bri();
    run({{"rx 02 FF 03 08 01 01 05", "00 01 7F", "data 08 01 01 05|", 4}});

    fresh();
    owner->link->change_to_bri();
    owner->link->mdl_remove();
    act("up");
    // The request's reference number, low octet first, answers the assignment.
    const std::string request = std::exchange(sent, ""), ri = request.substr(12, 5);
    EXPECT_EQ(request, "FC FF 03 0F " + ri + " 01 FF");
    EXPECT_EQ(owner->state(), 2u);
    const std::string other_ri = ri == "00 00" ? "01 00" : "00 00";
    run({{("rx FE FF 03 0F " + other_ri + " 02 81").c_str(), "", "", 2},
         {("rx FE FF 03 0F " + ri + " 02 81").c_str(), "00 81 7F", "", 4},
         {"rx 00 81 73", "", "up|", 6},
         // Frames for another terminal are not ours; a check of every TEI is answered with ours.
         {"rx 02 83 01 01", "", "", 6},
         {"rx FE FF 03 0F 00 00 04 FF", ("FC FF 03 0F " + ri + " 05 81").c_str(), "", 6}});
    // Removed: the link is down and asks again.
    act("rx FE FF 03 0F 00 00 06 FF");
    EXPECT_EQ(owner->take_events(), "error (MDL-REMOVE received)|");
    const std::string again = std::exchange(sent, ""), ri2 = again.substr(12, 5);
    EXPECT_EQ(again, "FC FF 03 0F " + ri2 + " 01 FF");
    EXPECT_EQ(owner->state(), 1u);
    // Denied: the request stays and is repeated until five have gone unanswered.
    run({{("rx FE FF 03 0F " + ri2 + " 03 FF").c_str(), "", "Tei Assign - Tei denied|", 1}});
    for (int expiry = 0; expiry < 4; ++expiry) {
        act("2000");
        EXPECT_EQ(std::exchange(sent, "").substr(0, 11), "FC FF 03 0F");
    }
    run({{"2000", "", "link error (T202 expired N202 times)|", 0}});
}

}  // namespace
