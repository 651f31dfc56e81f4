// The SS7 signalling link on the test clock, seen from the line (the signal units it sends) and
// from its host (activation, deactivation, MSUs going up).

#include "signalling/slc_owner.h"
#include "support/frozen_clock.h"
#include "support/controller_pair.h"

#include "../foundation/reactor/reactor_test_support.h"

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <sstream>

namespace {

using namespace signallingtest;
using testsupport::FrozenClock;

// A step: "rx <su>" from the line, "msg <n>" n (hex) one-octet MSUs 01, 02 ... from above, "up", "down",
// or milliseconds for the clock to move; then the signal units the link sent, what its host saw, and
// the state it is in.
struct Step {
    const char *action, *sent, *events;
    int state;
};

class SlcTest : public ::testing::Test, public GenericHDLC {
protected:
    SlcTest() { owner.link->channel = this; }
    bool hdlc_transmit(Packet& su) override
    {
        if (refusing)
            return false;
        sent += (sent.empty() ? "" : "|") + su.text();
        return true;
    }
    bool is_open() const override { return true; }
    bool is_ready() const override { return true; }

    void act(const std::string& action)
    {
        std::istringstream words(action);
        std::string verb;
        words >> verb >> std::hex;
        Packet p;
        p.reserve_head(0);
        for (unsigned octet; words >> octet;)
            p.put(static_cast<unsigned char>(octet));
        if (verb == "rx")
            owner.link->on_hdlc_receive(p);
        for (unsigned octet = 1; verb == "msg" && octet <= p[0]; ++octet) {
            Packet msu;
            owner.prepare_head(msu), msu.put(static_cast<unsigned char>(octet)), owner.message(msu);
        }
        if (verb == "up" || verb == "down")
            verb == "up" ? owner.link->activate() : owner.link->deactivate();
        if (isdigit(verb[0]))
            clock.advance(std::stoul(verb));
    }
    void run(const std::vector<Step>& steps)
    {
        for (const Step& step : steps) {
            act(step.action);
            EXPECT_EQ(std::exchange(sent, ""), step.sent) << step.action;
            EXPECT_EQ(std::exchange(owner.events, ""), step.events) << step.action;
            EXPECT_EQ(owner.link->state_id(), step.state) << step.action;
        }
    }
    // Aligned and in service, both ends' sequence numbers at 127 with the indicator bits 1.
    void in_service()
    {
        run({{"up", "FF FF 01 00", "", 1},
             {"rx FF FF 01 01", "FF FF 01 01", "", 3},
             {"rx FF FF 00", "FF FF 00|FF FF 00", "up|", 5}});
    }

    FrozenClock clock;
    SlcOwner owner;
    std::string sent;
    bool refusing = false;
};

const char *sio = "FF FF 01 00", *sin = "FF FF 01 01", *sie = "FF FF 01 02", *sios = "FF FF 01 03",
           *fisu = "FF FF 00";

TEST_F(SlcTest, AlignsProvesAndComesIntoServiceOrFallsBackToIdleWhenATimerRunsOut)
{
    run({{"up", sio, "", 1},
         {"rx FF FF 01 00", sin, "", 2},
         {"rx FF FF 01 01", sin, "", 3},
         {"8199", "", "", 3},
         {"1", fisu, "", 4},
         {"rx FF FF 00", (std::string(fisu) + "|" + fisu).c_str(), "up|", 5},
         // Activating a working link reports it up again; an LSSU takes it out of service.
         {"up", "", "up|", 5},
         {"rx FF FF 01 02", sios, "impossible phasing|", 0},
         // Alignment started by the far end, in emergency: proving lasts 500 ms.
         {"rx FF FF 01 00", sin, "", 2},
         {"1500", sios, "impossible phasing|", 0},
         {"up", sio, "", 1},
         {"7000", sios, "impossible phasing|", 0},
         {"down", sios, "impossible phasing|", 0}});
    owner.link->emergency = true;
    run({{"rx FF FF 01 02", sie, "", 3},
         {"499", "", "", 3},
         {"1", fisu, "", 4},
         {"rx FF FF 01 80", sios, "impossible phasing|", 0},
         {"rx FF FF 01 01", sie, "", 3},
         {"500", fisu, "", 4},
         {"45000", sios, "impossible phasing|", 0}});
}

TEST_F(SlcTest, AcceptsMsusInSequenceNegativelyAcknowledgesAGapOnceAndRetransmitsWithTheNewIndicator)
{
    in_service();
    run({// MSUs 0 and 1 leave with FIB 1; the far end's MSU 0 is accepted and acknowledged at once.
         {"msg 2", "FF 80 01 01|FF 81 01 02", "", 5},
         {"rx FF 80 03 0A 0B 0C", "80 81 00", "msu 0A 0B 0C|", 5},
         // A repeat of the last accepted MSU is dropped unread; MSU 2 after 0 is a gap: one negative
         // acknowledgement (BIB 0), then MSUs with the old FIB serve only their BSN.
         {"rx FF 80 03 0A 0B 0C", "", "", 5},
         {"rx FF 82 03 0D 0E 0F", "00 81 00", "", 5},
         {"rx FF 83 03 0D 0E 0F", "", "", 5},
         // The far end retransmits from 1 with FIB 0.
         {"rx FF 01 03 01 01 01", "01 81 00", "msu 01 01 01|", 5},
         // It acknowledges our 0 and asks for 1 again (BIB 0): 1 leaves again with FIB 0, same FSN.
         {"rx 00 01 00", "01 01 01 02", "", 5},
         {"rx 01 01 00", "", "", 5},
         // Two acknowledgements out of the window in a row take the link out of service.
         {"rx 50 01 00", "", "", 5},
         {"rx 01 01 00", "", "", 5},
         {"rx 50 01 00", "", "", 5},
         {"rx 51 01 00", sios, "impossible phasing|", 0}});
}

TEST_F(SlcTest, KeepsAt127MsusUnacknowledgedAnd200WaitingAndSendsTheRestAsTheyAreAcknowledged)
{
    in_service();
    std::ostringstream errors;
    std::streambuf* saved = std::cerr.rdbuf(errors.rdbuf());
    for (int burst = 0; burst < 327; burst += 109)
        act("msg 6D");
    std::cerr.rdbuf(saved);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), '|') + 1, 127);
    EXPECT_EQ(owner.link->statistics().rtb_size, 127u);
    EXPECT_EQ(owner.link->statistics().tb_refused, 0u);  // 200 wait
    // The next is dropped, counted and logged, and its sender hears that it was refused.
    Packet msu;
    owner.prepare_head(msu), msu.put(0x01);
    saved = std::cerr.rdbuf(errors.rdbuf());
    EXPECT_EQ(owner.send(msu), Protocol_status_refused::Reason::queue_full);
    std::cerr.rdbuf(saved);
    EXPECT_EQ(owner.link->statistics().tb_refused, 1u);
    EXPECT_NE(errors.str().find("no space in TB buffer, TB=200 RTB=127 ignoring msu: 01\n"), std::string::npos);
    // The acknowledgement of the first ten lets the next ten go at once, numbered on.
    sent.clear();
    act("rx 89 FF 00");
    EXPECT_EQ(sent.substr(0, 6), "FF FF ");
    EXPECT_EQ(std::count(sent.begin(), sent.end(), '|') + 1, 10);
    EXPECT_EQ(owner.link->statistics().rtb_size, 127u);
    // Nothing acknowledged for 12 s: out of service.
    sent.clear();
    run({{"12000", sios, "impossible phasing|", 0}});
}

TEST_F(SlcTest, CutsSignalUnitsToTheirLengthIndicatorAndSendsLongOnesWithLi63)
{
    in_service();
    const auto ones = [](unsigned n) {
        std::string octets;
        for (unsigned i = 0; i < n; ++i)
            octets += i ? " 01" : "01";
        return octets;
    };
    std::ostringstream errors;
    std::streambuf* saved = std::cerr.rdbuf(errors.rdbuf());
    // LI 5 with 8 octets: cut to 5. LI 9 with 8: kept whole. LI 63 with 62: kept.
    const std::string long_msu = "rx FF 82 3F " + ones(62), long_events = "msu " + ones(62) + "|";
    run({{"rx FF 80 05 01 02 03 04 05 06 07 08", "80 FF 00", "msu 01 02 03 04 05|", 5},
         {"rx FF 81 09 01 02 03 04 05 06 07 08", "81 FF 00", "msu 01 02 03 04 05 06 07 08|", 5},
         {long_msu.c_str(), "82 FF 00", long_events.c_str(), 5}});
    std::cerr.rdbuf(saved);
    EXPECT_NE(errors.str().find("truncate 3 octet(s) : "), std::string::npos) << errors.str();
    EXPECT_NE(errors.str().find("invalid packet length, expected = 9, received = 8"), std::string::npos);
    EXPECT_NE(errors.str().find("invalid packet length, expected = 63, received = 62"), std::string::npos);
    // Sent: 62 octets with LI 62, 64 with LI 63.
    for (unsigned length : {62u, 64u}) {
        Packet msu;
        owner.prepare_head(msu);
        for (unsigned i = 0; i < length; ++i)
            msu.put(1);
        owner.message(msu);
    }
    EXPECT_EQ(sent, "82 80 3E " + ones(62) + "|82 81 3F " + ones(64));
}

TEST_F(SlcTest, EachTraceSwitchLogsItsLinesAndNoneLogsWithoutIt)
{
    // The scenario's lines on the debug stream, by the switch that shows them; "~" stands for the
    // header "SS7/L2 [dpc=1, slc=2, trunk=3] (<state>): ".
    const std::pair<bool SS7::SLC::Trace::*, const char*> lines[] = {
        {&SS7::SLC::Trace::mtp_activate, "~idle): local_activate: executing..."},
        {&SS7::SLC::Trace::state, "SS7/L2 [dpc=1, slc=2, trunk=3]: change state from \"idle\" to \"not aligned\""},
        {&SS7::SLC::Trace::mtp_activate, "~not aligned): local_activate: ignored."},
        {&SS7::SLC::Trace::raw_receive, "~not aligned):  rx raw ff ff 01 00"},
        {&SS7::SLC::Trace::timers, "~aligned): set T3"},
        {&SS7::SLC::Trace::timers, "~proving): set T4"},
        {&SS7::SLC::Trace::timers, "~proving): T4 expired."},
        {&SS7::SLC::Trace::raw_transmit, "~aligned ready):  tx raw ff ff 00"},
        {&SS7::SLC::Trace::mtp_transmit, "~worked):  mtp tx 01"},
        {&SS7::SLC::Trace::raw_transmit, "~worked):  tx raw ff 80 01 01"},
        {&SS7::SLC::Trace::msu_processing, "~worked): ack!"},
        {&SS7::SLC::Trace::mtp_receive, "~worked):  mtp rx 0a 0b 0c"},
        {&SS7::SLC::Trace::msu_processing, "~worked): discard msu due to 5.2.2/i Q.702 fsnr=0 fsnx=0"},
        {&SS7::SLC::Trace::msu_processing, "~worked): discard msu due to 5.2.2/ii Q.702 fsnr=2 fsnx=0"},
        {&SS7::SLC::Trace::msu_processing, "~worked): nack!"},
        {&SS7::SLC::Trace::msu_processing, "~worked): retransmit rtb=1"},
        {&SS7::SLC::Trace::timers, "~not aligned): T2 expired"},
        {&SS7::SLC::Trace::timers, "~aligned): T3 expired"},
        {&SS7::SLC::Trace::timers, "~aligned ready): T1 expired"},
        {&SS7::SLC::Trace::timers, "~worked): T7 expired: 1 packets in RTB."},
        {&SS7::SLC::Trace::mtp_activate, "~idle): local_deactivate()"},
    };
    // On the error stream, by the switch that shows them.
    const std::pair<bool SS7::SLC::Trace::*, const char*> errors[] = {
        {&SS7::SLC::Trace::msu_processing, "~worked): bad su acknowledgement received:  BSN=81 BIB=0 FSN=1 FIB=0"},
        {&SS7::SLC::Trace::msu_processing, "~worked): bad start of a retransmission:  BSN=127 BIB=1 FSN=127 FIB=0"},
    };
    const char* const scenario[] = {
        // Aligned by T4; two MSUs each way, one repeated, one after a gap, then a retransmission.
        "up", "up", "rx FF FF 01 00", "rx FF FF 01 01", "8200", "rx FF FF 00", "msg 2", "rx FF 80 03 0A 0B 0C",
        "rx FF 80 03 0A 0B 0C", "rx FF 82 03 0D 0E 0F", "rx FF 01 03 01 01 01", "rx 00 01 00",
        // Two acknowledgements out of the window.
        "rx 50 01 00", "rx 51 01 00",
        // Each alignment timer runs out.
        "up", "7000", "rx FF FF 01 00", "1500", "rx FF FF 01 01", "8200", "45000",
        // Unacknowledged for 12 s; then two FIBs the link did not ask for.
        "rx FF FF 01 01", "rx FF FF 00", "msg 1", "12000", "rx FF FF 01 01", "rx FF FF 00", "rx FF 7F 00", "rx FF 7F 00",
        "down"};
    owner.link->dpc = 1, owner.link->slc = 2, owner.link->trunk = 3;
    const auto expand = [](const char* line) {
        return (*line == '~' ? "SS7/L2 [dpc=1, slc=2, trunk=3] (" + std::string(line + 1) : std::string(line)) + "\n";
    };
    for (bool on : {false, true}) {
        for (bool SS7::SLC::Trace::*flag : {&SS7::SLC::Trace::state, &SS7::SLC::Trace::raw_receive,
                                             &SS7::SLC::Trace::raw_transmit, &SS7::SLC::Trace::mtp_transmit,
                                             &SS7::SLC::Trace::mtp_receive, &SS7::SLC::Trace::mtp_activate,
                                             &SS7::SLC::Trace::timers, &SS7::SLC::Trace::msu_processing})
            owner.link->trace.*flag = on;
        reactortest::CaptureStream debug(std::clog), error(std::cerr);
        for (const char* action : scenario)
            act(action);
        for (const auto& [flag, line] : lines)
            EXPECT_EQ(debug.text().find(expand(line)) != std::string::npos, on) << line;
        for (const auto& [flag, line] : errors)
            EXPECT_EQ(error.text().find(expand(line)) != std::string::npos, on) << line;
        EXPECT_EQ(owner.link->state_id(), 0);
        sent.clear(), owner.events.clear();
    }
}

TEST_F(SlcTest, BadFramesARefusingOrMissingChannelAndALostLineAreLoggedAndHandled)
{
    std::ostringstream name;
    owner.link->protocol_info(name);
    EXPECT_EQ(name.str(), "MTP/L2");
    in_service();
    reactortest::CaptureStream debug(std::clog), error(std::cerr);
    const std::string header = "SS7/L2 [dpc=0, slc=0, trunk=0] (worked): ";
    // Too short; longer than LI 63 can say, yet with a smaller LI: logged, kept whole; a status
    // octet that names no status in service.
    std::string long_msu = "rx FF 80 0A";
    for (int octet = 0; octet < 64; ++octet)
        long_msu += " 01";
    run({{"rx FF FF", "", "", 5}, {long_msu.c_str(), "80 FF 00", ("msu" + long_msu.substr(11) + "|").c_str(), 5}});
    EXPECT_EQ(error.text(), header + "ignore packet, length too small FF FF\n" + header +
                                "invalid packet length, expected = 10, received = 64\n" + header +
                                "can't truncate signalling unit.\n");
    run({{"rx FF FF 01 80", sios, "impossible phasing|", 0}});
    EXPECT_NE(error.text().find(header + "receive lssu: unknown:80  BSN=127 BIB=1 FSN=127 FIB=1\n"),
              std::string::npos)
        << error.text();
    // A refused MSU waits in the TB for the channel; one still there when the link comes into
    // service again is dropped.
    in_service();
    refusing = true;
    run({{"msg 2", "", "", 5}});
    refusing = false;
    owner.link->on_hdlc_ready();
    EXPECT_EQ(std::exchange(sent, ""), "FF 80 01 01|FF 81 01 02");
    EXPECT_NE(debug.text().find(header + "hdlc ready\n"), std::string::npos);
    refusing = true;
    run({{"msg 1", "", "", 5}, {"down", "", "impossible phasing|", 0}});
    refusing = false;
    in_service();
    EXPECT_NE(error.text().find("SS7/L2 [dpc=0, slc=0, trunk=0] (worked): discard 1 msu in TB\n"), std::string::npos);
    // An error of the channel or the line's loss takes the link out of service; a line coming up
    // does nothing.
    owner.link->on_hdlc_error(HDLC::Notify::Cause::Type(2));
    EXPECT_EQ(std::exchange(sent, ""), sios);
    EXPECT_EQ(std::exchange(owner.events, ""), "impossible phasing|");
    EXPECT_NE(error.text().find(header + "hdlc error [cause=2]\n"), std::string::npos);
    in_service();
    owner.link->OnTrunkHardStatus(true);
    EXPECT_EQ(owner.link->state_id(), 5);
    owner.link->OnTrunkHardStatus(false);
    EXPECT_NE(debug.text().find(header + " transport OFF by low level terminated\n"), std::string::npos);
    owner.link->OnTrunkHardStatus(false);
    EXPECT_EQ(std::exchange(sent, ""), sios);
    EXPECT_EQ(std::exchange(owner.events, ""), "impossible phasing|");
    // Without a channel nothing is sent, and an MSU cannot leave.
    in_service();
    owner.link->channel = nullptr;
    run({{"msg 1", "", "", 5}});
    EXPECT_NE(error.text().find(header + "no HDLC interface attached!!!\n"), std::string::npos);
    // An MSU ends proving as a FISU does.
    owner.link->channel = this;
    run({{"down", sios, "impossible phasing|", 0}, {"rx FF FF 01 01", sin, "", 3},
         {"rx FF 80 03 0A 0B 0C", (std::string(fisu) + "|" + fisu).c_str(), "up|", 5}});
}

}  // namespace
