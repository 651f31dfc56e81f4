// Our data links against libpri, another implementation of Q.921, over a frame channel in this
// process: either side of a primary-rate link comes up, carries Q.931 traffic in order and notices a
// cut line; a basic-rate user link gets its TEI from libpri's network side; the network side of a
// basic-rate line serves two libpri terminals. tshark then reads the frames that crossed.

#include "foundation/tshark_fields.h"
#include "signalling/link_owner.h"
#include "support/temp_root.h"

#include <gtest/gtest.h>

#if TOVRASEL_HAVE_LIBPRI

#include "signalling/hex_bytes.h"
#include "signalling/pri_bridge.h"

namespace {

using namespace signallingtest;
using testsupport::FrozenClock;

// tshark's reading of a trace: no expert or malformed item, and every UA read as a response.
void expect_clean(const std::string& pcap)
{
    if (!foundationtest::tshark_available())
        GTEST_SKIP() << "tshark is not installed";
    FILE* tshark = popen(("tshark -r " + pcap + " -Y 'lapd.control.ftype == 3 || _ws.expert || _ws.malformed' -T fields"
                          " -e _ws.expert -e _ws.malformed -e lapd.control.u_modifier_cmd -e lapd.control.u_modifier_resp"
                          " 2>/dev/null").c_str(), "r");
    unsigned responses = 0;
    for (char line[256]; fgets(line, sizeof line, tshark); responses += std::string(line) == "\t\t\t0x18\n") {
        EXPECT_EQ(std::string(line).rfind("\t\t", 0), 0u) << pcap << ": " << line;
        EXPECT_NE(std::string(line), "\t\t0x18\t\n") << pcap << ": a UA read as a command";
    }
    pclose(tshark);
    EXPECT_GT(responses, 0u) << pcap;
}

TEST(LapdLibpri, PrimaryRateLinksComeUpCarryCallsInOrderAndNoticeACutLine)
{
    testsupport::TempRoot dir;
    for (ISDN::Side::type side : {ISDN::Side::user, ISDN::Side::network}) {
        FrozenClock clock;
        LinkOwner owner(side, nullptr);
        PriBridge bridge(*owner.link, side ? PRI_CPE : PRI_NETWORK, false, dir / ("/" + std::to_string(side)));
        // libpri polls an idle link after 300 ms, so that it soon notices the cut; no call of its times out.
        pri_set_timer(bridge.peer.pri, PRI_TIMER_T203, 300), pri_set_timer(bridge.peer.pri, PRI_TIMER_T303, 60000);
        owner.link->activate();
        ASSERT_TRUE(bridge.run_until([&] { return bridge.saw(PRI_EVENT_DCHAN_UP) && owner.state() == 6; })) << side;

        // libpri places three calls; a STATUS ENQUIRY about one of them is answered by a STATUS. Up to 20
        // are in flight, so that the window fills and the numbers wrap.
        for (int channel : {1, 2, 3})
            pri_call(bridge.peer.pri, pri_new_call(bridge.peer.pri), PRI_TRANS_CAP_SPEECH, channel, 1, 0, nullptr, PRI_UNKNOWN,
                     nullptr, PRES_ALLOWED_USER_NUMBER_NOT_SCREENED, (char*)"200", PRI_UNKNOWN, PRI_LAYER_1_ALAW);
        ASSERT_TRUE(bridge.run_until([&] { return owner.messages.size() == 3; }));
        std::vector<std::string> calls, asked, answered;
        for (const std::string& setup : std::exchange(owner.messages, {}))
            calls.push_back(setup.substr(6, 5));
        EXPECT_TRUE(bridge.run_until([&] {
            while (asked.size() < 300 && asked.size() < owner.messages.size() + 20) {
                asked.push_back(calls[asked.size() % 3]);
                owner.send(bytes("08 02 80 " + asked.back().substr(3) + " 75"));
            }
            return owner.messages.size() >= 300;
        }, 20000));
        for (const std::string& status : owner.messages)
            answered.push_back(status.substr(12, 2) == "7D" ? status.substr(6, 5) : status);
        EXPECT_EQ(answered, asked) << side;

        // Cut with an enquiry outstanding: our T200 runs out in timer recovery, then in re-establishment.
        bridge.peer.cut = true;
        owner.send(bytes("08 02 80 01 75")), owner.take_events();
        for (int second = 0; second < 8; ++second)
            clock.advance(1000);
        EXPECT_EQ(owner.take_events(), "Unsuccessful retransmission (N200 times) - Status enquiry|"
                                        "Unsuccessful retransmission (N200 times) - SABME|"
                                        "link error (T200 expired N200 times)|");
        EXPECT_TRUE(bridge.run_until([&] { return bridge.saw(PRI_EVENT_DCHAN_DOWN); }, 10000)) << side;
    }
    expect_clean(dir / "/0");
    expect_clean(dir / "/1");
}

TEST(LapdLibpri, ABasicRateUserEstablishesAsAskedOnceTheNetworkHasGivenItsTei)
{
    testsupport::TempRoot dir;
    FrozenClock clock;
    LinkOwner owner(ISDN::Side::user, nullptr);
    owner.link->change_to_bri();
    PriBridge bridge(*owner.link, PRI_NETWORK, true, dir / "/bri");
    owner.link->mdl_remove(), owner.link->activate();
    ASSERT_TRUE(bridge.run_until([&] { return owner.state() == 6; }));
    std::ostringstream status;
    owner.link->status()->out(status);
    EXPECT_NE(status.str().find("self: TEI=64,"), std::string::npos) << status.str();
    expect_clean(dir / "/bri");
}

TEST(LapdLibpri, TwoBasicRateTerminalsGetTheirTeisHearASetupAndOnlyTheAnsweringOneGetsTheCall)
{
    testsupport::TempRoot dir;
    FrozenClock clock;
    PriTerminals line(2, dir / "/ptmp");
    line.link->activate();
    auto up = [&] {
        for (auto& terminal : line.terminals)
            if (!terminal->saw(PRI_EVENT_DCHAN_UP))
                return false;
        return true;
    };
    ASSERT_TRUE(line.run_until([&] { return up() && line.teis[0] && line.teis[1]; }, 5000));
    EXPECT_EQ(std::min(line.teis[0], line.teis[1]), 64u);
    EXPECT_EQ(std::max(line.teis[0], line.teis[1]), 65u);

    // A SETUP (call reference 5, speech, B1, sending complete) goes to both as one broadcast frame.
    line.send(bytes("08 01 05 05 A1 04 03 80 90 A3 18 01 89"));
    ASSERT_TRUE(line.run_until([&] { return line.terminals[0]->ringing && line.terminals[1]->ringing; }));
    pri_answer(line.terminals[0]->pri, line.terminals[0]->ringing, 1, 0);
    ASSERT_TRUE(line.run_until([&] { return !line.messages.empty(); }));
    EXPECT_EQ(line.messages[0].at(3), 0x07) << "a CONNECT";

    // A CONNECT ACKNOWLEDGE and twenty STATUS ENQUIRYs: seven go out at once, the rest wait for the
    // terminal's acknowledgements; each enquiry is answered by a STATUS.
    const size_t before = line.sent.size();
    line.send(bytes("08 01 05 0F"));
    for (int n = 0; n < 20; ++n)
        line.send(bytes("08 01 05 75"));
    EXPECT_EQ(line.sent.size() - before, 7u);
    auto statuses = [&] {
        return std::count_if(line.messages.begin(), line.messages.end(), [](auto& m) { return m.at(3) == 0x7D; });
    };
    EXPECT_TRUE(line.run_until([&] { return statuses() == 20; }, 20000)) << statuses();
    unsigned call_frames = 0;
    for (const auto& frame : line.sent)
        if (frame.size() > 6 && !(frame[2] & 1) && (frame[6] & 0x7F) == 5) {
            ++call_frames;
            EXPECT_EQ(frame[1] >> 1, int(line.teis[0])) << "an I frame of the call to the other terminal";
        }
    EXPECT_GE(call_frames, 21u);
    EXPECT_FALSE(line.terminals[1]->saw(PRI_EVENT_HANGUP));
    expect_clean(dir / "/ptmp");
}

TEST(LapdLibpri, ABasicRateTerminalsTwoCallsBothHearTheNetworkWhichAcknowledgesWithoutBeingPolled)
{
    testsupport::TempRoot dir;
    FrozenClock clock;
    PriTerminals line(1, dir / "/two-calls");
    PriInstance& terminal = *line.terminals[0];
    // One frame outstanding at a time, and a poll for the acknowledgement only after 30 s: each frame
    // after the first leaves only once the network has acknowledged the one before of its own accord.
    pri_set_timer(terminal.pri, PRI_TIMER_K, 1), pri_set_timer(terminal.pri, PRI_TIMER_T200, 30000);
    line.link->activate();
    ASSERT_TRUE(line.run_until([&] { return terminal.saw(PRI_EVENT_DCHAN_UP) && line.teis[0]; }, 5000));

    q931_call* placed[2];
    for (int channel : {1, 2})
        pri_call(terminal.pri, placed[channel - 1] = pri_new_call(terminal.pri), PRI_TRANS_CAP_SPEECH, channel, 1, 0,
                 nullptr, PRI_UNKNOWN, nullptr, PRES_ALLOWED_USER_NUMBER_NOT_SCREENED, (char*)"200", PRI_UNKNOWN,
                 PRI_LAYER_1_ALAW);
    ASSERT_TRUE(line.run_until([&] { return line.messages.size() == 2; }, 10000)) << line.messages.size();
    const unsigned char first = line.messages[0].at(2), second = line.messages[1].at(2);
    EXPECT_EQ(line.messages[0].at(3), 0x05);
    EXPECT_EQ(line.messages[1].at(3), 0x05);
    ASSERT_NE(first, second);
    // The controller asks about both calls, the first one last: each enquiry is answered.
    auto statuses = [&](unsigned char call) {
        return std::count_if(line.messages.begin(), line.messages.end(),
                             [&](auto& m) { return m.at(2) == call && m.at(3) == 0x7D; });
    };
    line.send({0x08, 0x01, uint8_t(second | 0x80), 0x75});
    line.send({0x08, 0x01, uint8_t(first | 0x80), 0x75});
    EXPECT_TRUE(line.run_until([&] { return statuses(first) == 1 && statuses(second) == 1; }, 10000));

    // The line loses the next enquiry; the terminal then clears its second call. When T200 runs out
    // the enquiry goes again, acknowledging the DISCONNECT too, and the terminal answers it without
    // resetting its link.
    const auto resets = [&] {
        return std::count_if(line.heard.begin(), line.heard.end(), [](auto& f) { return (f.at(2) | 0x10) == 0x7F; });
    };
    const auto resets_before = resets();
    line.lose_i_frames = 1;
    line.send({0x08, 0x01, uint8_t(first | 0x80), 0x75});
    pri_hangup(terminal.pri, placed[1], PRI_CAUSE_NORMAL_CLEARING);
    ASSERT_TRUE(line.run_until([&] { return line.messages.back().at(3) == 0x45; }, 10000)) << "a DISCONNECT";
    clock.advance(1000);
    EXPECT_TRUE(line.run_until([&] { return statuses(first) == 2; }, 10000));
    EXPECT_EQ(resets(), resets_before);
    expect_clean(dir / "/two-calls");
}

TEST(LapdLibpri, ARestartedBasicRateTerminalGetsTheMessagesOfItsNewCallThoughItsOldTeiHoldsTheSameCallReference)
{
    testsupport::TempRoot dir;
    FrozenClock clock;
    PriTerminals line(1, dir / "/restart");
    line.link->activate();
    // The terminal's call once it is up under a TEI: the call reference of its SETUP, -1 for none.
    auto place_call = [&] {
        PriInstance& terminal = *line.terminals[0];
        if (!line.run_until([&] { return terminal.saw(PRI_EVENT_DCHAN_UP) && line.teis[0]; }, 5000))
            return -1;
        const size_t before = line.messages.size();
        pri_call(terminal.pri, pri_new_call(terminal.pri), PRI_TRANS_CAP_SPEECH, 1, 1, 0, nullptr, PRI_UNKNOWN, nullptr,
                 PRES_ALLOWED_USER_NUMBER_NOT_SCREENED, (char*)"200", PRI_UNKNOWN, PRI_LAYER_1_ALAW);
        if (!line.run_until([&] { return line.messages.size() > before; }, 10000))
            return -1;
        return int(line.messages.back().at(2));
    };
    // The terminal starts again while its old TEI is still assigned: it gets another TEI and numbers
    // its new call as it did the old one.
    const int reference = place_call();
    ASSERT_GE(reference, 0);
    const unsigned old_tei = line.teis[0];
    line.restart(0);
    ASSERT_EQ(place_call(), reference);
    EXPECT_NE(line.teis[0], old_tei);
    // The network's CALL PROCEEDING and STATUS ENQUIRY for the call reach the new instance.
    const uint8_t call = uint8_t(reference | 0x80);
    line.send({0x08, 0x01, call, 0x02, 0x18, 0x01, 0x89});
    line.send({0x08, 0x01, call, 0x75});
    EXPECT_TRUE(line.run_until([&] { return line.messages.back().at(3) == 0x7D; }, 10000)) << "a STATUS";
    EXPECT_TRUE(line.terminals[0]->saw(PRI_EVENT_PROCEEDING));
    expect_clean(dir / "/restart");
}

}  // namespace

#else

TEST(LapdLibpri, Skipped) { GTEST_SKIP() << "libpri is not installed"; }

#endif
