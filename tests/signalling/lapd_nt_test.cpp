// The network side of a basic-rate line on the test clock: TEI management and the terminals' links,
// seen from the line (the frames it sends) and from above (the messages going up).

#include "signalling/isdn/lapd_nt.h"
#include "support/frozen_clock.h"

#include "foundation/packet/pool_test_support.h"
#include "foundation/protocol/protocols_family.h"
#include "../foundation/reactor/reactor_test_support.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using testsupport::FrozenClock;

struct NtOwner : ProtocolsFamily {
    NtOwner() { add_protocol_tail(link); }
    void transmit(Packet& frame) override { sent += (sent.empty() ? "" : "|") + frame.text(); }
    void on_message(Packet& p) override { up += p.text() + "|"; }
    void rx(const std::string& hex)
    {
        std::istringstream words(hex);
        Packet frame;
        frame.reserve_head(0);
        for (unsigned octet; words >> std::hex >> octet;)
            frame.put(static_cast<unsigned char>(octet));
        link->receive(frame);
    }
    // A message from above; whether the link took it or why it dropped it.
    Refusal send(const std::string& hex)
    {
        std::istringstream words(hex);
        Packet p;
        prepare_head(p);
        for (unsigned octet; words >> std::hex >> octet;)
            p.put(static_cast<unsigned char>(octet));
        return ProtocolsFamily::send(p);
    }
    std::string take() { return std::exchange(sent, ""); }

    ISDN::LAPD_NT* const link = new ISDN::LAPD_NT;  // owned by the family
    std::string sent, up;
};

TEST(LapdNt, AssignsFreeTeisDeniesWhenAllAreHeldAndTakesBackTeisThatFailTheirCheck)
{
    FrozenClock clock;
    NtOwner nt;
    nt.link->activate();
    EXPECT_EQ(nt.take(), "FE FF 03 0F 00 00 04 FF");  // the first check cycle
    // A frame for TEI 65 takes an entity for it; requests then get 64 and 66.
    nt.rx("00 83 01 01");
    EXPECT_EQ(nt.take(), "02 83 7F|00 83 01 01");
    nt.rx("FC FF 03 0F 34 12 01 FF");
    EXPECT_EQ(nt.take(), "FE FF 03 0F 34 12 02 81|02 81 7F");
    nt.rx("FC FF 03 0F 35 12 01 FF");
    EXPECT_EQ(nt.take(), "FE FF 03 0F 35 12 02 85|02 85 7F");
    // Ai 10 is ignored, Ai 100 denied.
    nt.rx("FC FF 03 0F 01 00 01 15"), nt.rx("FC FF 03 0F 02 00 01 C9");
    EXPECT_EQ(nt.take(), "FE FF 03 0F 02 00 03 C9");
    for (int more = 0; more < 5; ++more)
        nt.rx("FC FF 03 0F 00 00 01 FF");
    nt.take();
    nt.rx("FC FF 03 0F 09 00 01 FF");
    EXPECT_EQ(nt.take(), "FE FF 03 0F 09 00 03 FF");
    // A check cycle: only 64 answers; the others are asked again after 2 s and go 2 s later; a second
    // answer for 64 with another Ri removes it, so that the next requests get 64 and 65 again.
    // (Idle terminals are polled on the way; those polls are not looked at here.)
    clock.advance(60000);
    EXPECT_NE(nt.take().find("FE FF 03 0F 00 00 04 FF"), std::string::npos);
    nt.rx("FC FF 03 0F 11 00 05 81");
    nt.rx("FC FF 03 0F 11 00 05 81");
    EXPECT_EQ(nt.take(), "");
    clock.advance(2000);
    EXPECT_NE(nt.take().find("FE FF 03 0F 00 00 04 83"), std::string::npos);
    clock.advance(2000);
    nt.take();
    nt.rx("FC FF 03 0F 22 00 05 81");
    EXPECT_EQ(nt.take(), "FE FF 03 0F 00 00 06 81|FE FF 03 0F 00 00 06 81");
    nt.rx("FC FF 03 0F 07 00 01 FF");
    nt.rx("FC FF 03 0F 08 00 01 FF");
    EXPECT_EQ(nt.take(), "FE FF 03 0F 07 00 02 81|02 81 7F|FE FF 03 0F 08 00 02 83|02 83 7F");
}

TEST(LapdNt, BroadcastsASetupRoutesTheCallToItsTerminalAndKeepsSevenFramesOutstanding)
{
    FrozenClock clock;
    NtOwner nt;
    nt.link->activate();
    nt.rx("FC FF 03 0F 01 00 01 FF"), nt.rx("FC FF 03 0F 02 00 01 FF");
    nt.take();
    nt.send("08 01 05 05 04 03 80 90 A3");
    EXPECT_EQ(nt.take(), "02 FF 03 08 01 05 05 04 03 80 90 A3");
    // TEI 65 answers with CONNECT (P set): its entity owns call reference 5 from then on.
    nt.rx("00 83 00 01 08 01 85 07");
    EXPECT_EQ(nt.take(), "00 83 01 03");
    EXPECT_EQ(nt.up, "08 01 85 07|");
    // Twenty messages: seven go out at once, the others as the terminal acknowledges them.
    for (int n = 0; n < 20; ++n)
        nt.send("08 01 05 75");
    std::string frames = nt.take();
    EXPECT_EQ(std::count(frames.begin(), frames.end(), '|'), 6) << frames;
    EXPECT_EQ(frames.substr(0, 11), "02 83 00 03");
    nt.rx("02 83 01 06");  // N(R) 3
    EXPECT_EQ(nt.take(), "02 83 0E 03 08 01 05 75|02 83 10 03 08 01 05 75|02 83 12 03 08 01 05 75");
    nt.rx("02 83 01 14");  // N(R) 10
    frames = nt.take();
    EXPECT_EQ(std::count(frames.begin(), frames.end(), '|'), 6) << frames;
    nt.rx("02 83 01 20"), nt.rx("02 83 01 28");  // N(R) 16, 20
    frames = nt.take();
    EXPECT_EQ(std::count(frames.begin(), frames.end(), '|'), 2) << frames;
    EXPECT_EQ(frames.substr(frames.rfind('|') + 1), "02 83 26 03 08 01 05 75");
    // A call reference no terminal took part in goes nowhere.
    nt.send("08 01 06 75");
    EXPECT_EQ(nt.take(), "");
}

TEST(LapdNt, AMessageFromAboveGoesToTheTerminalHoldingItsCallByValueAndFlagUntilItsReleaseComplete)
{
    FrozenClock clock;
    NtOwner nt;
    nt.link->activate();
    nt.rx("FC FF 03 0F 01 00 01 FF"), nt.rx("FC FF 03 0F 02 00 01 FF");
    // The controller's call 1 is answered by TEI 65; TEI 64 places calls 1 and 2 of its own.
    nt.send("08 01 01 05 04 03 80 90 A3");
    nt.rx("00 83 00 00 08 01 81 07");
    nt.rx("00 81 00 00 08 01 01 05 A1"), nt.rx("00 81 02 00 08 01 02 05 A1");
    EXPECT_EQ(nt.up, "08 01 81 07|08 01 01 05 A1|08 01 02 05 A1|");
    nt.take();
    // What goes to the line for a message from above.
    auto sent_for = [&nt](const char* message) { return nt.send(message), nt.take(); };
    // The network's messages for a call carry the other flag than the terminal's own.
    EXPECT_EQ(sent_for("08 01 81 4D"), "02 81 00 05 08 01 81 4D");
    EXPECT_EQ(sent_for("08 01 01 0F"), "02 83 00 03 08 01 01 0F");
    EXPECT_EQ(sent_for("08 01 82 75"), "02 81 02 05 08 01 82 75");
    // A RELEASE COMPLETE ends the call, whichever side sends it.
    nt.rx("00 81 04 04 08 01 01 5A");
    nt.take();
    EXPECT_EQ(sent_for("08 01 81 75"), "");
    EXPECT_EQ(sent_for("08 01 82 5A"), "02 81 04 07 08 01 82 5A");
    EXPECT_EQ(sent_for("08 01 82 75"), "");
    // A dummy call reference names no call.
    nt.rx("00 81 06 06 08 00 7B 1C 00");
    nt.take();
    EXPECT_EQ(sent_for("08 00 7B 1C 00") + sent_for("08 01 FB 75"), "");
    // A terminal keeps its sixteen most recently named calls: TEI 65 names sixteen more, and its
    // first call is forgotten.
    for (int call = 0; call < 16; ++call) {
        std::ostringstream setup;
        setup << std::hex << "00 83 " << 2 * (call + 1) << " 02 08 01 " << 0x10 + call << " 05 A1";
        nt.rx(setup.str());
    }
    nt.take();
    EXPECT_EQ(sent_for("08 01 01 75"), "");
    EXPECT_EQ(sent_for("08 01 90 75"), "02 83 02 23 08 01 90 75");
    // A terminal that loses its TEI loses its calls: the next one under that TEI holds none.
    nt.rx("00 83 53");
    nt.rx("FC FF 03 0F 03 00 01 FF");
    nt.take();
    EXPECT_EQ(sent_for("08 01 90 75"), "");
}

TEST(LapdNt, AnIdleTerminalThatAnswersNoPollIsRemovedOnTheFourthT200Expiry)
{
    FrozenClock clock;
    NtOwner nt;
    nt.link->activate();
    nt.rx("FC FF 03 0F 01 00 01 FF");
    EXPECT_EQ(nt.take(), "FE FF 03 0F 00 00 04 FF|FE FF 03 0F 01 00 02 81|02 81 7F");
    // Idle for 10 s: polled, then polled again on each of three T200 expiries, a second apart.
    clock.advance(9999);
    EXPECT_EQ(nt.take(), "");
    clock.advance(1);
    EXPECT_EQ(nt.take(), "02 81 01 01");
    for (int expiry = 1; expiry <= 3; ++expiry) {
        clock.advance(1000);
        EXPECT_EQ(nt.take(), "02 81 01 01") << expiry;
    }
    // The fourth takes the TEI back: no more polls, and the next request gets 64 again.
    clock.advance(1000);
    clock.advance(20000);
    EXPECT_EQ(nt.take(), "");
    nt.rx("FC FF 03 0F 02 00 01 FF");
    EXPECT_EQ(nt.take(), "FE FF 03 0F 02 00 02 81|02 81 7F");
}

// A line with a terminal that holds TEI 64 and call reference 5, its frames since then dropped.
struct NtTerminal : NtOwner {
    NtTerminal()
    {
        link->activate();
        rx("FC FF 03 0F 01 00 01 FF");
        rx("00 81 00 00 08 01 85 07");
        take(), up.clear();
    }
    // Whether the terminal still holds its TEI: its idle poll comes, or the TEI is free for the next
    // request. The clock moves to the poll.
    bool holds_tei(FrozenClock& clock)
    {
        clock.advance(10000);
        return take().find("02 81 01 ") != std::string::npos;
    }
};

TEST(LapdNt, WhereTwoTerminalsHoldACallItsMessagesGoToTheTerminalThatNamedItLast)
{
    FrozenClock clock;
    NtTerminal nt;
    auto sent_for = [&nt](const char* message) { return nt.send(message), nt.take(); };
    // TEI 64 places call 1; the terminal starts again, gets TEI 65 and places call 1 once more.
    nt.rx("00 81 02 00 08 01 01 05 A1");
    nt.rx("FC FF 03 0F 07 00 01 FF");
    nt.rx("00 83 00 00 08 01 01 05 A1");
    nt.take();
    EXPECT_EQ(sent_for("08 01 81 02"), "02 83 00 03 08 01 81 02");
    // TEI 64 names the call again, then ends it: the other holder gets the call's messages again.
    nt.rx("00 81 04 00 08 01 01 7D");
    nt.take();
    EXPECT_EQ(sent_for("08 01 81 75"), "02 81 00 07 08 01 81 75");
    nt.rx("00 81 06 02 08 01 01 5A");
    nt.take();
    EXPECT_EQ(sent_for("08 01 81 75"), "02 83 02 03 08 01 81 75");
}

TEST(LapdNt, AnUnansweredTeiIsAskedAgainBeforeItIsFreedAndItsTerminalKeepsItsCallsUntilTheTeiIsGivenAway)
{
    FrozenClock clock;
    // A check cycle in which TEI 64 answers its idle poll but not the check: what goes 2 s later.
    auto unanswered_check = [&clock](NtTerminal& nt) {
        clock.advance(60000);
        nt.rx("02 81 01 01");
        nt.take();
        clock.advance(2000);
        return nt.take();
    };
    {
        // The TEI is asked again, and the answer keeps it and its link.
        NtTerminal nt;
        EXPECT_EQ(unanswered_check(nt), "FE FF 03 0F 00 00 04 81");
        nt.rx("FC FF 03 0F 07 00 05 81");
        clock.advance(2000);
        EXPECT_EQ(nt.send("08 01 05 75"), std::nullopt);
        EXPECT_EQ(nt.take(), "02 81 00 03 08 01 05 75");
    }
    {
        // Two terminals answer for TEI 64: the TEI is taken from both, and with it the calls.
        NtTerminal nt;
        clock.advance(60000);
        nt.rx("FC FF 03 0F 07 00 05 81"), nt.rx("FC FF 03 0F 08 00 05 81");
        nt.rx("00 81 01 01");
        EXPECT_EQ(nt.send("08 01 05 75"), Protocol_status_refused::Reason::no_destination);
    }
    // Unanswered again, the TEI is freed. Once the terminal speaks under it again, it holds its call
    // still, unless the TEI was given to another terminal meanwhile.
    const struct {
        const char* meanwhile;
        bool keeps;
    } rows[] = {
        {"", true},
        {"00 8D 01 01", true},               // a frame under TEI 70 takes another entity
        {"FC FF 03 0F 07 00 01 FF", false},  // an identity request is given TEI 64
        {"FC FF 03 0F 07 00 05 81", true},   // its own late check response
    };
    for (const auto& row : rows) {
        NtTerminal nt;
        unanswered_check(nt);
        clock.advance(2000);
        EXPECT_EQ(nt.send("08 01 05 75"), Protocol_status_refused::Reason::no_destination) << row.meanwhile;
        if (*row.meanwhile)
            nt.rx(row.meanwhile);
        nt.rx("00 81 01 01");
        nt.take();
        EXPECT_EQ(nt.send("08 01 05 75"),
                  row.keeps ? ProtocolsFamily::Refusal() : Protocol_status_refused::Reason::no_destination)
            << row.meanwhile;
        EXPECT_EQ(nt.take(), row.keeps ? "02 81 00 01 08 01 05 75" : "") << row.meanwhile;
    }
}

TEST(LapdNt, FramesFromATerminalActAsTheirTypeAndDirectionSay)
{
    FrozenClock clock;
    // Each row: frames from the terminal, what the line got, and whether the terminal keeps its TEI.
    const struct {
        std::vector<const char*> frames;
        const char* sent;
        bool keeps;
    } rows[] = {
        // Dropped: an I frame marked as a response, frames cut after their control octet, S type 3,
        // SABME as a response, DM and FRMR as commands, UA, UI; XID is only logged.
        {{"02 81 00 01 08 01 85 07", "00 81 00", "00 81 01", "00 81 0D 00", "02 81 7F", "00 81 0F", "00 81 87",
          "02 81 73", "00 81 03 08", "00 81 AF"},
         "",
         true},
        // SABME with P is answered with UA; without P not.
        {{"00 81 7F", "00 81 6F"}, "00 81 73", true},
        // DISC with P is answered with UA, and both DISC and the responses DM and FRMR end the link.
        {{"00 81 53"}, "00 81 73", false},
        {{"00 81 43"}, "", false},
        {{"02 81 1F"}, "", false},
        {{"02 81 87"}, "", false},
        // An I frame out of sequence is rejected with F = P; one in sequence without a message moves
        // V(R) and is acknowledged.
        {{"00 81 00 00 AA BB CC DD"}, "00 81 09 02", true},
        {{"00 81 00 01 AA BB CC DD"}, "00 81 09 03", true},
        {{"00 81 02 00 08"}, "00 81 01 04", true},
        // An N(R) that acknowledges what was never sent ends the link, whatever frame carries it.
        {{"00 81 01 0A"}, "", false},
        {{"00 81 05 0A"}, "", false},
        {{"00 81 09 0A"}, "", false},
        {{"00 81 00 0A 08 01 85 07"}, "00 81 09 02", false},
        // Polls are answered with RR, F = 1.
        {{"00 81 01 01"}, "00 81 01 03", true},
        {{"00 81 05 01"}, "00 81 01 03", true},
        {{"00 81 09 01"}, "00 81 01 03", true},
    };
    for (const auto& row : rows) {
        NtTerminal nt;
        std::string frames;
        for (const char* frame : row.frames)
            nt.rx(frame), frames += std::string(frame) + "; ";
        EXPECT_EQ(nt.take(), row.sent) << frames;
        EXPECT_EQ(nt.up, "") << frames;
        EXPECT_EQ(nt.holds_tei(clock), row.keeps) << frames;
    }
}

TEST(LapdNt, ATerminalsIFramesAreAcknowledgedWithoutAPollAndFramesSentAgainCarryTheCurrentNR)
{
    FrozenClock clock;
    NtTerminal nt;
    // Nothing to send: an RR, F = 0; polled: F = 1.
    nt.rx("00 81 02 00 08 01 85 7D");
    EXPECT_EQ(nt.take(), "00 81 01 04");
    nt.rx("00 81 04 01 08 01 85 7D");
    EXPECT_EQ(nt.take(), "00 81 01 07");
    // Eight messages: seven go out, the eighth waits for room. A frame that makes the room is
    // acknowledged by the waiting message, which goes out instead of an RR.
    for (int n = 1; n <= 8; ++n)
        nt.send("08 01 05 75 0" + std::to_string(n));
    const std::string window = nt.take();
    EXPECT_EQ(window.substr(window.rfind('|') + 1), "02 81 0C 07 08 01 05 75 07");
    nt.rx("00 81 06 02 08 01 85 7D");
    EXPECT_EQ(nt.take(), "02 81 0E 09 08 01 05 75 08");
    // The frames the terminal has not acknowledged go again when T200 runs out, acknowledging what
    // the terminal sent since they first went.
    nt.rx("00 81 08 02 08 01 85 7D");
    EXPECT_EQ(nt.take(), "00 81 01 0A");
    clock.advance(1000);
    EXPECT_EQ(nt.take(), "02 81 02 0B 08 01 05 75 02|02 81 04 0B 08 01 05 75 03|02 81 06 0B 08 01 05 75 04|"
                         "02 81 08 0B 08 01 05 75 05|02 81 0A 0B 08 01 05 75 06|02 81 0C 0B 08 01 05 75 07|"
                         "02 81 0E 0B 08 01 05 75 08");
}

TEST(LapdNt, AGapInATerminalsIFramesIsRejectedOnceAndWhatFollowsIsDiscardedUntilTheMissingFrameComes)
{
    FrozenClock clock;
    NtTerminal nt;
    nt.send("08 01 05 75");
    nt.take();
    auto sent_for = [&nt](const char* frame) { return nt.rx(frame), nt.take(); };
    // Frame 1 is lost: frame 2 is rejected, 3 and 4 are discarded without a word, 5 is a poll and
    // answered with RR.
    EXPECT_EQ(sent_for("00 81 04 00 08 01 85 7D"), "00 81 09 02");
    EXPECT_EQ(sent_for("00 81 06 02 08 01 85 7D") + sent_for("00 81 08 02 08 01 85 7D"), "");
    EXPECT_EQ(sent_for("00 81 0A 03 08 01 85 7D"), "00 81 01 03");
    // Frame 3 still acknowledged the network's frame: it is not sent again.
    clock.advance(1000);
    EXPECT_EQ(nt.take(), "");
    // Frame 1 again: taken and acknowledged; the next gap gets its REJ.
    EXPECT_EQ(sent_for("00 81 02 02 08 01 85 7D"), "00 81 01 04");
    EXPECT_EQ(nt.up, "08 01 85 7D|");
    EXPECT_EQ(sent_for("00 81 06 02 08 01 85 7D"), "00 81 09 04");
    // A new link ends the condition as well.
    EXPECT_EQ(sent_for("00 81 7F"), "00 81 73");
    EXPECT_EQ(sent_for("00 81 02 00 08 01 85 7D"), "00 81 09 00");
}

TEST(LapdNt, ABusyTerminalGetsItsMessagesWhenItIsReadyAgainAndARejectResendsWhatItDidNotTake)
{
    FrozenClock clock;
    NtTerminal nt;
    // Busy: messages wait.
    nt.rx("00 81 05 00");
    nt.send("08 01 05 75 01"), nt.send("08 01 05 75 02");
    EXPECT_EQ(nt.take(), "");
    // Ready: both go out.
    nt.rx("00 81 01 00");
    EXPECT_EQ(nt.take(), "02 81 00 03 08 01 05 75 01|02 81 02 03 08 01 05 75 02");
    // REJ with N(R) 1: the first is acknowledged, the second sent again, and again when T200 runs out.
    nt.rx("00 81 09 02");
    EXPECT_EQ(nt.take(), "02 81 02 03 08 01 05 75 02");
    clock.advance(1000);
    EXPECT_EQ(nt.take(), "02 81 02 03 08 01 05 75 02");
    // Acknowledged: idle again, polled after 10 s.
    nt.rx("00 81 01 04");
    clock.advance(9999);
    EXPECT_EQ(nt.take(), "");
    clock.advance(1);
    EXPECT_EQ(nt.take(), "02 81 01 03");
}

TEST(LapdNt, AMessageThatFindsNoPacketForItsFrameWaitsAndGoesWithTheNextAcknowledgement)
{
    FrozenClock clock;
    NtTerminal nt;
    {
        std::vector<Packet> pool = packettest::drain_pool();
        pool.pop_back();  // for the message itself
        EXPECT_EQ(nt.send("08 01 05 75"), std::nullopt);
    }
    EXPECT_EQ(nt.take(), "");
    clock.advance(10000);
    EXPECT_EQ(nt.take(), "02 81 01 03");
    nt.rx("02 81 01 01");
    EXPECT_EQ(nt.take(), "02 81 00 03 08 01 05 75");
}

TEST(LapdNt, ABusyTerminalsQueueKeeps128MessagesAndRefusesTheOnesAfterThemUntilThereIsRoom)
{
    FrozenClock clock;
    NtTerminal nt;
    nt.rx("00 81 05 00");
    reactortest::CaptureStream errors(std::cerr);
    for (int n = 0; n < 130; ++n) {
        std::ostringstream message;
        message << "08 01 05 75 " << std::hex << n;
        EXPECT_EQ(nt.send(message.str()),
                  n < 128 ? ProtocolsFamily::Refusal() : Protocol_status_refused::Reason::queue_full)
            << n;
    }
    EXPECT_EQ(errors.text(), "LAPD_user(NT BRI)[Tei=64]: send queue full, message dropped\n"
                             "LAPD_user(NT BRI)[Tei=64]: send queue full, message dropped\n");
    // Ready again: the window's seven go out, the oldest first, and make room.
    nt.rx("00 81 01 00");
    const std::string frames = nt.take();
    EXPECT_EQ(std::count(frames.begin(), frames.end(), '|'), 6) << frames;
    EXPECT_EQ(frames.substr(0, 26), "02 81 00 03 08 01 05 75 00");
    EXPECT_EQ(nt.send("08 01 05 75"), std::nullopt);
}

TEST(LapdNt, TeiMessagesAndLineFramesThatAreNotForATerminal)
{
    FrozenClock clock;
    NtOwner nt;
    nt.link->activate();
    nt.take();
    // Too short or badly addressed: dropped. To TEI 127 only UI counts: SAPI 0 goes up.
    for (const char* frame : {"00 81", "01 81 01 01", "00 80 01 01", "02 FF 01 01", "FC FF 03 0F 00 00 01",
                              "FC FF 03 0E 00 00 01 FF", "FC FF 03 0F 00 00 03 FF"})
        nt.rx(frame);
    // Messages from above that name no call a terminal holds are refused: too short to name one, a
    // dummy call reference, a two-octet one.
    reactortest::CaptureStream errors(std::cerr);
    for (const char* message : {"08 01 81", "08 00 62 1C 00", "08 02 01 02 75"})
        EXPECT_EQ(nt.send(message), Protocol_status_refused::Reason::no_destination) << message;
    EXPECT_EQ(nt.take(), "");
    EXPECT_EQ(errors.text(), "LAPD(NT BRI):message of 3 octets names no call, message dropped\n"
                             "LAPD(NT BRI):no terminal holds the dummy call reference, message dropped\n"
                             "LAPD(NT BRI):no terminal holds call reference 258 (flag 0), message dropped\n");
    nt.rx("00 FF 03 08 01 85 07");
    EXPECT_EQ(nt.up, "08 01 85 07|");
    // A verify request starts a check cycle; a check response for TEI 127 is answered by removing it.
    nt.rx("FC FF 03 0F 00 00 07 81");
    EXPECT_EQ(nt.take(), "FE FF 03 0F 00 00 04 FF");
    nt.rx("FC FF 03 0F 00 00 05 FF");
    EXPECT_EQ(nt.take(), "FE FF 03 0F 00 00 06 FF|FE FF 03 0F 00 00 06 FF");
    // A check response for a TEI no terminal holds gives a free entity that TEI.
    nt.rx("FC FF 03 0F 09 00 05 A1");
    EXPECT_EQ(nt.take(), "02 A1 7F");
    // With eight TEIs held, a frame or a check response for another is answered by removing it.
    for (int more = 0; more < 7; ++more)
        nt.rx("FC FF 03 0F 00 00 01 FF");
    nt.take();
    nt.rx("00 B5 01 01");
    nt.rx("FC FF 03 0F 00 00 05 B7");
    EXPECT_EQ(nt.take(), "FE FF 03 0F 00 00 06 B5|FE FF 03 0F 00 00 06 B5|FE FF 03 0F 00 00 06 B7|"
                         "FE FF 03 0F 00 00 06 B7");
    // Deactivated: every TEI is free again and the checks stop.
    nt.link->deactivate();
    clock.advance(60000);
    EXPECT_EQ(nt.take(), "");
    nt.rx("FC FF 03 0F 05 00 01 FF");
    EXPECT_EQ(nt.take(), "FE FF 03 0F 05 00 02 81|02 81 7F");
}

TEST(LapdNt, TheLinkLogsFromLevel1AndTheTerminalsAbove1)
{
    FrozenClock clock;
    for (unsigned level : {0u, 1u, 2u}) {
        reactortest::CaptureStream debug(std::clog);
        NtOwner nt;
        nt.link->set_log(level);
        nt.link->activate();
        nt.rx("FC FF 03 0F 01 00 01 FF");
        nt.rx("00 81 05 01");
        nt.rx("00 81 01 01");
        nt.rx("FC FF 03 0F 01 00 01 15");
        nt.link->deactivate();
        std::string log;
        std::istringstream lines(debug.text());
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("Mux: ", 0) != 0)
                log += line + "\n";
        const std::string link = "LAPD(NT BRI):activate\nLAPD(NT BRI):Checking Tei values....\n"
                                 "LAPD(NT BRI):recieved identity request,TEI assigned:64\n";
        const std::string terminal = "LAPD_user(NT BRI)[unassigned]:]assigned\n"
                                     "LAPD_user(NT BRI)[Tei=64,assigned]received RNR frame\n"
                                     "LAPD_user(NT BRI)[Tei=64,assigned]set busy\n"
                                     "LAPD_user(NT BRI)[Tei=64,assigned,busy]ack queue\n"
                                     "LAPD_user(NT BRI)[Tei=64,assigned,busy]received RR frame\n"
                                     "LAPD_user(NT BRI)[Tei=64,assigned,busy]ack queue\n"
                                     "LAPD_user(NT BRI)[Tei=64,assigned,busy]set unbusy\n";
        const std::string end = "LAPD(NT BRI):recieved identity request with wrong Ai=10,ignored\n"
                                "LAPD(NT BRI):deactivate\n";
        // Deactivation unassigns every entity, held or not.
        std::string unassigned = "LAPD_user(NT BRI)[Tei=64,assigned]unassigned\n";
        for (int entity = 1; entity < 8; ++entity)
            unassigned += "LAPD_user(NT BRI)[unassigned]:]unassigned\n";
        EXPECT_EQ(log, level == 0 ? "" : level == 1 ? link + end : link + terminal + end + unassigned) << level;
    }
}

}  // namespace
