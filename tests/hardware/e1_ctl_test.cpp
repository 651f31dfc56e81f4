#include "board_control_harness.h"

#include "hardware/e1_ctl.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace {

using Strings = std::vector<std::string>;

constexpr uint32_t status_code = 0xC0504D03;
constexpr uint32_t trunk_open_code = 0x80044300;

const std::string success = "{ seq 5, pdu response : success : NULL }";

std::string error(const std::string& cause) { return "{ seq 5, pdu response : error : " + cause + " }"; }

std::string trunk_status(int trunk, const std::string& state)
{
    return "{ pdu signal : trunkStatus : { trunk " + std::to_string(trunk) + ", state " + state +
           ", slips 0, lossBF 0, lossCarrier 0, lossAIS 0, lossRAI 0, name \"\", clockMaster FALSE, type e1 } }";
}

std::string cas(int trunk, int timeslot, const std::string& command)
{
    return "{ seq 5, pdu command : ioctl : cas : { channel { path " + std::to_string(trunk) + ", timeslot " +
           std::to_string(timeslot) + " }, cmd " + command + " } }";
}

std::string cas_signal(int trunk, int timeslot, int rx, int tx)
{
    return "{ pdu signal : cas : { channel { path " + std::to_string(trunk) + ", timeslot " +
           std::to_string(timeslot) + " }, rx " + std::to_string(rx) + ", tx " + std::to_string(tx) + " } }";
}

std::string trunk_cfg(int trunk, const std::string& mode)
{
    return "{ seq 5, pdu command : trunkCfg : { trunk " + std::to_string(trunk) + ", mode " + mode + " } }";
}

class E1CtlTest : public boardtest::BoardControlTest {
protected:
    E1CtlTest() { make<E1Ctl>(); }

    // Connected, with the first status report and the device opens behind.
    void connect_quietly()
    {
        connect();
        received();
        board.clear_journal();
    }

    // The requests on the CAS device, without its opens.
    Strings cas_requests()
    {
        Strings lines;
        for (const std::string& line : requests("/dev/e1-cas"))
            if (line.compare(0, 5, "open ") != 0)
                lines.push_back(line);
        return lines;
    }
};

TEST_F(E1CtlTest, AFailedStatusSkipsItsTrunkAStateBeyondTheKnownIsUnknownAndReportsGoOnAlone)
{
    board.fail("/dev/maintenance", status_code, EIO);
    board.set("/dev/maintenance", "trunk 3 state=9");
    connect();
    EXPECT_EQ(received(), (Strings{trunk_status(1, "normal"), trunk_status(2, "normal"), trunk_status(3, "unknown")}));
    EXPECT_EQ(errors.text(), "E1: synchronization status read fail, trunk = 0 cause = Input/output error\n");

    disconnect();
    board.clear_journal();
    pass_ms(1000);
    Strings expected;
    for (int trunk = 0; trunk < 4; ++trunk)
        expected.push_back("trunk-status trunk=" + std::to_string(trunk) + " -> 0");
    EXPECT_EQ(requests("/dev/maintenance"), expected);
}

TEST_F(E1CtlTest, TrunkConfigurationKeepsTheTransmitClockMask)
{
    connect_quietly();
    send(trunk_cfg(2, "slave"));
    send(trunk_cfg(0, "slave"));
    send(trunk_cfg(2, "master"));
    // Trunks the mask has no bit for change nothing.
    send(trunk_cfg(-1, "slave"));
    send(trunk_cfg(32, "slave"));
    EXPECT_EQ(received(), Strings(5, success));
    EXPECT_EQ(requests("/dev/maintenance"), (Strings{"tclk mask=4 -> 0", "tclk mask=5 -> 0", "tclk mask=1 -> 0"}));
    EXPECT_NE(debug.text().find("E1: TCLT = 0x4\nE1: TCLT = 0x5\nE1: TCLT = 0x1\n"), std::string::npos);

    // Every connection starts from a cleared mask.
    disconnect();
    connect();
    EXPECT_EQ(board.state("/dev/maintenance").back(), "tclk=0");
}

TEST_F(E1CtlTest, CasOpensTheTrunkThenTheTimeSlotSetsReadsAndClosesItAndClosingTheTrunkEndsItsCas)
{
    connect_quietly();
    board.set("/dev/e1-cas", "rx 1 5 9");
    send(cas(1, 0, "open : 0"));
    EXPECT_EQ(received(), (Strings{cas_signal(1, 0, 0, 0), success}));
    send(cas(1, 5, "open : 31"));
    EXPECT_EQ(received(), (Strings{cas_signal(1, 0, 0, 0), cas_signal(1, 5, 9, 15), success}));
    // The signalling time slot has no channel of its own.
    send(cas(1, 16, "open : 3"));
    EXPECT_EQ(received(), (Strings{cas_signal(1, 0, 0, 0), success}));
    EXPECT_NE(debug.text().find("E1: cas interface opened!\n"), std::string::npos);
    EXPECT_NE(debug.text().find("E1: open cas signalling on trunk(1) - ok\n"), std::string::npos);

    send(cas(1, 5, "set : 18"));
    send(cas(1, 5, "get : NULL"));
    send(cas(1, 5, "close : NULL"));
    EXPECT_EQ(received(), (Strings{cas_signal(1, 5, 9, 2), success, cas_signal(1, 5, 9, 2), success,
                                   cas_signal(1, 5, -1, 1), success}));
    EXPECT_EQ(cas_requests(), (Strings{"trunk-open trunk=1 -> 0", "channel trunk=1 timeslot=5 -> 0 open tx=15",
                                       "get trunk=1 timeslot=5 -> 0 rx=9 tx=15", "set trunk=1 timeslot=5 -> 0 tx=2",
                                       "get trunk=1 timeslot=5 -> 0 rx=9 tx=2", "get trunk=1 timeslot=5 -> 0 rx=9 tx=2",
                                       "channel trunk=1 timeslot=5 -> 0 close"}));
    // A closed time slot: the driver's refusal travels in the signal.
    send(cas(1, 5, "get : NULL"));
    EXPECT_EQ(received(), (Strings{cas_signal(1, 5, -1, 0), success}));

    send(cas(1, 0, "close : NULL"));
    EXPECT_EQ(received(), (Strings{cas_signal(1, 0, 1, 0), success}));
    board.clear_journal();
    send(cas(1, 3, "set : 1"));
    send(cas(1, 3, "get : NULL"));
    send(cas(1, 0, "close : NULL"));
    EXPECT_EQ(received(), Strings(3, success));
    EXPECT_EQ(cas_requests(), Strings{});
}

TEST_F(E1CtlTest, FailuresAreToldInTheSignalAndWhatCannotBeServedIsRefused)
{
    connect_quietly();
    board.fail("/dev/e1-cas", trunk_open_code, EIO);
    send(cas(3, 4, "open : 1"));
    EXPECT_EQ(received(), (Strings{cas_signal(3, 0, -1, 0), success}));
    EXPECT_NE(debug.text().find("E1: open cas signalling on trunk(3) - fail(-1)\n"), std::string::npos);
    EXPECT_EQ(cas_requests(), Strings{"trunk-open trunk=3 -> -1 EIO"});
    // The driver knows time slots 1 to 31 only.
    send(cas(3, 40, "open : 1"));
    EXPECT_EQ(received(), (Strings{cas_signal(3, 0, 0, 0), cas_signal(3, 40, -1, 0), success}));

    board.clear_journal();
    send(cas(4, 1, "open : 0"));
    send(cas(-1, 1, "get : NULL"));
    send("{ seq 5, pdu command : ioctl : echoSuppressor : TRUE }");
    EXPECT_EQ(received(), (Strings{error("invalidParams"), error("invalidParams"), error("unsupported")}));
    EXPECT_EQ(cas_requests(), Strings{});
}

TEST_F(E1CtlTest, WithoutTheCasDeviceCasIsUnsupportedAndTheOpenIsRetriedEverySecond)
{
    board.set_absent("/dev/e1-cas", true);
    connect_quietly();
    send(cas(0, 0, "open : 0"));
    EXPECT_EQ(received(), Strings{error("unsupported")});

    board.set_absent("/dev/e1-cas", false);
    pass_ms(1000);
    EXPECT_EQ(requests("/dev/e1-cas"), (Strings{"open rdwr nonblock -> -1 ENOENT", "open file=2 rdwr nonblock -> 0"}));
    EXPECT_EQ(errors.text(), "");
}

TEST_F(E1CtlTest, EachChangeRecordOfTheDriverBecomesOneSignal)
{
    connect_quietly();
    send(cas(1, 4, "open : 3"));
    received();
    board.push("/dev/e1-cas", {0, 0, 0, 0, 0, 0, 0, 7, 0x5, 0x9, 0, 0});
    board.push("/dev/e1-cas", {0, 0, 0, 3, 0, 0, 0, 2, 0x1, 0x2, 0, 0});
    board.push("/dev/e1-cas", {0, 0, 0, 1, 0, 0, 0, 2});  // short: not a change record
    pass_ms(0);
    EXPECT_EQ(received(), (Strings{cas_signal(0, 7, 5, 9), cas_signal(3, 2, 1, 2)}));
}

}  // namespace
