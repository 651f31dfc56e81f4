// The network side of a basic-rate line on the test clock: TEI management and the terminals' links,
// seen from the line (the frames it sends) and from above (the messages going up).

#include "signalling/frozen_clock.h"
#include "signalling/isdn/lapd_nt.h"

#include "foundation/protocol/protocols_family.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using namespace signallingtest;

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
    void send(const std::string& hex)
    {
        std::istringstream words(hex);
        Packet p;
        prepare_head(p);
        for (unsigned octet; words >> std::hex >> octet;)
            p.put(static_cast<unsigned char>(octet));
        message(p);
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
    // A check cycle: only 64 answers; a second answer for 64 with another Ri removes it; the others go
    // after 2 s, so that the next request gets 65 again.
    // (Idle terminals are polled on the way; those polls are not looked at here.)
    clock.advance(60000);
    EXPECT_NE(nt.take().find("FE FF 03 0F 00 00 04 FF"), std::string::npos);
    nt.rx("FC FF 03 0F 11 00 05 81");
    nt.rx("FC FF 03 0F 11 00 05 81");
    EXPECT_EQ(nt.take(), "");
    clock.advance(2000);
    nt.take();
    nt.rx("FC FF 03 0F 22 00 05 81");
    EXPECT_EQ(nt.take(), "FE FF 03 0F 00 00 06 81|FE FF 03 0F 00 00 06 81");
    nt.rx("FC FF 03 0F 07 00 01 FF");
    EXPECT_EQ(nt.take(), "FE FF 03 0F 07 00 02 81|02 81 7F");
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

}  // namespace
