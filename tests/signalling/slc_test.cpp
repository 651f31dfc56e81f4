// The SS7 signalling link on the test clock, seen from the line (the signal units it sends) and
// from its host (activation, deactivation, MSUs going up).

#include "signalling/frozen_clock.h"
#include "signalling/slc_owner.h"
#include "support/controller_pair.h"

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <sstream>

namespace {

using namespace signallingtest;

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
    act("msg 1");
    EXPECT_EQ(owner.link->statistics().tb_refused, 1u);
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

}  // namespace
