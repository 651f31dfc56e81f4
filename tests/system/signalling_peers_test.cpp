// The signalling slots against real peers on the line: libss7 and libpri run in this process on the
// emulator's tap of the channel a slot's link runs on, while the test controller drives the daemon.

#include "gateway.h"
#include "line_tap.h"

#include "support/process_cpu.h"

#include <gtest/gtest.h>

#include <algorithm>

#if TOVRASEL_HAVE_LIBSS7
#include "support/ss7_instance.h"
#endif
#if TOVRASEL_HAVE_LIBPRI
#include "support/pri_instance.h"
#endif

namespace {

using namespace systemtest;
using Strings = std::vector<std::string>;

// The bare board with its E1 trunks in service; the controller leaves their reports out.
struct PeerTest : ::testing::Test {
    void send(const Strings& commands)
    {
        for (const std::string& command : commands)
            controller->send(command);
    }
    // The open of the channel controller's allocated channel of the type.
    std::string channel_file(int type)
    {
        for (const std::string& line : gateway.board.state("/dev/mcc/ctl"))
            if (line.find(" type=" + std::to_string(type) + " ") != std::string::npos)
                return line.substr(5, line.find(' ') - 5);
        return "none";
    }

    Gateway gateway;
    std::unique_ptr<ControllerProcess> controller = gateway.controller("controller", {"--hide", "trunkStatus"});
};

#if TOVRASEL_HAVE_LIBSS7

TEST_F(PeerTest, AnSs7LinkComesUpWithLibss7ReportsItselfAndGoesDownWithItsTrunkOrItsChannel)
{
    std::unique_ptr<LineTap> tap;
    testsupport::Ss7Instance line(gateway.root / "/mtp2.pcap", [&](const unsigned char* su, unsigned length) {
        tap->send(su, length);
    });
    tap = std::make_unique<LineTap>("/dev/mcc/ctl", 16, [&](const unsigned char* su, unsigned length) {
        line.from_line(su, length);
    });
    PeerSession session(*controller, [&] { line.each_pass(); });
    send({"{ seq 1, slot 1, pdu command : create : pstn : ss7 : { trunk 1, slc 0, dpc 2, opc 1, emergency FALSE } }",
          "{ seq 2, slot 2, pdu command : create : trunk : { trunk 0, timeslot 16 } }",
          "{ seq 3, slot 2, pdu command : connect : 1 }", "{ seq 4, slot 1, pdu command : activate : empty : NULL }"});
    // Our normal proving (8.2 s) outlasts libss7's, so that our link is still proving when libss7's
    // first FISU comes: libss7 does not come into service when our FISUs reach it while it proves.
    ASSERT_TRUE(session.run_until([&] { return line.saw(MTP2_LINK_UP) && session.count("signal : activated"); }, 20000));
    EXPECT_EQ(session.count("pdu response : success"), 4u);
    // Activation reports the link in service; then every 3000 ms the channel and the link.
    EXPECT_NE(session.with("ss7LinkInfo").at(0).find("ss7state worked } }"), std::string::npos);
    const size_t reports = session.count("ss7LinkInfo");
    ASSERT_TRUE(session.run_until([&] { return session.count("ss7LinkInfo") >= reports + 2; }, 15000));
    EXPECT_GE(session.count("hdlcLinkInfo"), 2u);
    EXPECT_NE(session.with("ss7LinkInfo").back().find("ss7state worked } }"), std::string::npos);

    // libss7's MTP level 3 tests the link with an SLTM; the controller answers with the SLTA, the
    // point codes of the label swapped, and libss7 takes the link into use.
    const std::string sltm = "userData : '81 01 80 00 00 11 ";
    ASSERT_TRUE(session.run_until([&] { return session.count(sltm); }));
    const std::string message = session.with(sltm).at(0);
    const std::string pattern = message.substr(message.find(sltm) + sltm.size(), message.find("'H") - message.find(sltm) - sltm.size());
    send({"{ seq 5, slot 1, pdu command : userData : '81 02 40 00 00 21 " + pattern + "'H }"});
    // Then it restarts the traffic: the controller's restart allowed in return brings the link into use.
    ASSERT_TRUE(session.run_until([&] { return session.count("userData : '80 01 80 00 00 17'H"); }));
    send({"{ seq 6, slot 1, pdu command : userData : '80 02 40 00 00 17'H }"});
    EXPECT_TRUE(session.run_until([&] { return line.saw(SS7_EVENT_UP); }));

    // The trunk loses its carrier: the link goes out of service.
    gateway.board.set("/dev/maintenance", "trunk 0 state=2 lossCarrier=1");
    ASSERT_TRUE(session.run_until([&] { return session.count("signal : deactivated") == 1; }));
    EXPECT_TRUE(session.run_until([&] { return line.saw(MTP2_LINK_DOWN); }));

    // Back in service on the controller's word, until the channel ends.
    gateway.board.set("/dev/maintenance", "trunk 0 state=0 lossCarrier=0");
    send({"{ seq 7, slot 1, pdu command : activate : empty : NULL }"});
    ASSERT_TRUE(session.run_until([&] { return session.count("signal : activated") == 2; }, 20000));
    gateway.board.end_of_file(channel_file(3));
    EXPECT_TRUE(session.run_until([&] { return session.count("signal : deactivated") == 2; }));
    EXPECT_NE(gateway.daemon->errors().find("read error: end of file"), std::string::npos);
}

#endif

#if TOVRASEL_HAVE_LIBPRI

// The call reference of the first SETUP among the messages (its two octets in the notation's text).
std::string setup_reference(const PeerSession& session)
{
    for (const std::string& data : session.with("userData : '08 02 "))
        if (data.substr(data.find('\'') + 13, 2) == "05")
            return data.substr(data.find('\'') + 7, 5);
    return "";
}

// A libpri terminal on the line of a switch channel.
struct PriOnLine {
    PriOnLine(bool bri, int line_channel)
        : peer(PRI_CPE, bri, [this](const unsigned char* frame, unsigned length) { tap.send(frame, length); }),
          tap("/dev/mcc/ctl", line_channel, [this](const unsigned char* frame, unsigned length) { peer.send(frame, length); })
    {
    }

    testsupport::PriInstance peer;
    LineTap tap;
};

// A primary-rate network side on slot 1, fed by E1 trunk 0's time slot 16 on slot 2, in service
// with the terminal, which has placed a call: the call's reference, empty when any of it failed.
std::string primary_rate_call(PriOnLine& line, PeerTest& test, PeerSession& session)
{
    testsupport::PriInstance& peer = line.peer;
    test.send({"{ seq 1, slot 1, pdu command : create : isdn : { type pri, trunk 1, log 0, side network : NULL } }",
               "{ seq 2, slot 2, pdu command : create : trunk : { trunk 0, timeslot 16 } }",
               "{ seq 3, slot 2, pdu command : connect : 1 }", "{ seq 4, slot 1, pdu command : connect : 2 }",
               "{ seq 5, slot 1, pdu command : activate : empty : NULL }"});
    if (!session.run_until([&] { return peer.saw(PRI_EVENT_DCHAN_UP) && session.count("signal : activated"); }))
        return "";
    pri_call(peer.pri, pri_new_call(peer.pri), PRI_TRANS_CAP_SPEECH, 1, 1, 0, nullptr, PRI_UNKNOWN, nullptr,
             PRES_ALLOWED_USER_NUMBER_NOT_SCREENED, (char*)"200", PRI_UNKNOWN, PRI_LAYER_1_ALAW);
    session.run_until([&] { return !setup_reference(session).empty(); });
    return setup_reference(session);
}

TEST_F(PeerTest, APrimaryRateNetworkSideCarriesLibprisCallBothWaysAndLosesNothingWhileItsLineIsHeldUp)
{
    PriOnLine line(false, 16);
    PeerSession session(*controller, [&] { line.peer.run_timers(); });
    // libpri's SETUP comes up; STATUS ENQUIRYs about its call go down, each answered by a STATUS.
    const std::string reference = primary_rate_call(line, *this, session);
    ASSERT_FALSE(reference.empty());
    const std::string enquiry = "{ seq 6, slot 1, pdu command : userData : '08 02 8" + reference.substr(1) + " 75'H }";
    const std::string status = "userData : '08 02 " + reference + " 7d";
    send(Strings(50, enquiry));
    EXPECT_TRUE(session.run_until([&] { return session.count(status) == 50; }, 20000)) << session.count(status);
    // The emulator holds the daemon's frames for a while: they wait, and none is lost.
    gateway.board.set_draining(channel_file(0), false);
    send(Strings(10, enquiry));
    session.run_until([] { return false; }, 300);
    gateway.board.set_draining(channel_file(0), true);
    EXPECT_TRUE(session.run_until([&] { return session.count(status) == 60; }, 20000)) << session.count(status);

    // The link information is sent only when it has changed.
    send({"{ seq 7, slot 1, pdu command : deactivate : NULL }"});
    ASSERT_TRUE(session.run_until([&] { return session.count("signal : deactivated") == 1; }));
    const size_t activations = session.count("signal : activated");
    send({"{ seq 8, slot 1, pdu command : activate : empty : NULL }"});
    ASSERT_TRUE(session.run_until([&] { return session.count("signal : activated") > activations; }));
    const Strings infos = session.with("isdnLinkInfo");
    EXPECT_GE(infos.size(), 2u);
    EXPECT_EQ(std::adjacent_find(infos.begin(), infos.end()), infos.end());
}

TEST_F(PeerTest, APrimaryRateLinkThatLosesEveryFifthFrameOnItsLineLosesNoMessageAndDoesNotSpin)
{
    PriOnLine line(false, 16);
    PeerSession session(*controller, [&] { line.peer.run_timers(); });
    const std::string reference = primary_rate_call(line, *this, session);
    ASSERT_FALSE(reference.empty());

    // Each STATUS ENQUIRY still gets its STATUS: the lost frames are sent again.
    line.tap.drop_every(5);
    const double cpu = testsupport::cpu_seconds(gateway.daemon->pid());
    const auto start = std::chrono::steady_clock::now();
    send(Strings(10, "{ seq 6, slot 1, pdu command : userData : '08 02 8" + reference.substr(1) + " 75'H }"));
    const std::string status = "userData : '08 02 " + reference + " 7d";
    EXPECT_TRUE(session.run_until([&] { return session.count(status) == 10; }, 60000)) << session.count(status);
    EXPECT_EQ(session.count("pdu response : success"), 15u);
    // Waiting for the repeats costs the daemon little: under half its time.
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(testsupport::cpu_seconds(gateway.daemon->pid()) - cpu, 0.5 * seconds + 0.5);
}

TEST_F(PeerTest, ABasicRateNetworkSideGivesLibpriATeiAndCarriesItsCallBothWays)
{
    PriOnLine line(true, 6);
    testsupport::PriInstance& peer = line.peer;
    PeerSession session(*controller, [&] { peer.run_timers(); });
    send({"{ seq 1, slot 1, pdu command : create : pstn : isdn : { type bri, trunk 2, log 0, side network : NULL } }",
          "{ seq 2, slot 2, pdu command : create : trunk_bri : { trunk 1, timeslot 2 } }",
          "{ seq 3, slot 2, pdu command : connect : 1 }", "{ seq 4, slot 1, pdu command : connect : 2 }"});
    ASSERT_TRUE(session.run_until([&] { return peer.saw(PRI_EVENT_DCHAN_UP) && session.count("signal : activated"); }));

    // The controller's SETUP reaches the terminal, whose CONNECT comes back; twenty enquiries about
    // the call, more than the seven frames that may be outstanding, are each answered.
    send({"{ seq 5, slot 1, pdu command : userData : '08 01 05 05 A1 04 03 80 90 A3 18 01 89'H }"});
    ASSERT_TRUE(session.run_until([&] { return peer.ringing != nullptr; }));
    pri_answer(peer.pri, peer.ringing, 1, 0);
    EXPECT_TRUE(session.run_until([&] { return session.count("userData : '08 01 85 07") == 1; }));
    send({"{ seq 6, slot 1, pdu command : userData : '08 01 05 0F'H }"});
    send(Strings(20, "{ seq 7, slot 1, pdu command : userData : '08 01 05 75'H }"));
    EXPECT_TRUE(session.run_until([&] { return session.count("userData : '08 01 85 7d") == 20; }, 20000))
        << session.count("userData : '08 01 85 7d");
}

#endif

}  // namespace
