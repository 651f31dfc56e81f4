#include "board_control_harness.h"

#include "hardware/e1_ctl.h"

#include <cerrno>

namespace {

using Strings = std::vector<std::string>;

const std::string success = "{ seq 5, pdu response : success : NULL }";

std::string error(const std::string& cause) { return "{ seq 5, pdu response : error : " + cause + " }"; }

std::string trunk_status(int trunk, const std::string& state,
                         const std::string& counters = "slips 0, lossBF 0, lossCarrier 0, lossAIS 0, lossRAI 0")
{
    return "{ pdu signal : trunkStatus : { trunk " + std::to_string(trunk) + ", state " + state + ", " + counters +
           ", name \"\", clockMaster FALSE, type e1 } }";
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
};

TEST_F(E1CtlTest, EachTrunkIsReportedOnConnectAndEverySecondAFailedOneSkipped)
{
    board.fail("/dev/maintenance", 0xC0504D03, EIO);  // status
    board.set("/dev/maintenance", "trunk 1 state=4 slips=12 lossBF=5 lossCarrier=1 lossAIS=2 lossRAI=3");
    board.set("/dev/maintenance", "trunk 3 state=9");  // beyond the known states
    connect();
    EXPECT_EQ(received(), (Strings{trunk_status(1, "rai", "slips 12, lossBF 5, lossCarrier 1, lossAIS 2, lossRAI 3"),
                                   trunk_status(2, "normal"), trunk_status(3, "unknown")}));
    EXPECT_EQ(errors.text(), "E1: synchronization status read fail, trunk = 0 cause = Input/output error\n");
    board.clear_journal();
    pass_ms(1000);
    EXPECT_EQ(requests("/dev/maintenance").size(), 4u);
}

TEST_F(E1CtlTest, TrunkConfigurationKeepsTheTransmitClockMaskWhichEveryConnectionClears)
{
    connect_quietly();
    // Trunks the mask has no bit for change nothing.
    for (auto [trunk, mode] : {std::pair{2, "slave"}, {0, "slave"}, {2, "master"}, {-1, "slave"}, {32, "slave"}})
        send("{ seq 5, pdu command : trunkCfg : { trunk " + std::to_string(trunk) + ", mode " + mode + " } }");
    EXPECT_EQ(received(), Strings(5, success));
    EXPECT_EQ(requests("/dev/maintenance"), (Strings{"tclk mask=4 -> 0", "tclk mask=5 -> 0", "tclk mask=1 -> 0"}));
    disconnect();
    connect();
    EXPECT_EQ(board.state("/dev/maintenance").back(), "tclk=0");
}

TEST_F(E1CtlTest, CasOpensTheTrunkThenTheTimeSlotSetsReadsAndClosesItAndClosingTheTrunkEndsItsCas)
{
    connect_quietly();
    board.set("/dev/e1-cas", "rx 1 5 9");
    send(cas(1, 0, "open : 0"));
    send(cas(1, 5, "open : 31"));
    send(cas(1, 16, "open : 3"));  // the signalling time slot has no channel of its own
    EXPECT_EQ(received(), (Strings{cas_signal(1, 0, 0, 0), success, cas_signal(1, 0, 0, 0), cas_signal(1, 5, 9, 15),
                                   success, cas_signal(1, 0, 0, 0), success}));
    send(cas(1, 5, "set : 18"));
    send(cas(1, 5, "close : NULL"));
    send(cas(1, 5, "get : NULL"));  // closed: the driver's refusal travels in the signal
    send(cas(1, 0, "close : NULL"));
    EXPECT_EQ(received(), (Strings{cas_signal(1, 5, 9, 2), success, cas_signal(1, 5, -1, 1), success,
                                   cas_signal(1, 5, -1, 0), success, cas_signal(1, 0, 1, 0), success}));
    EXPECT_EQ(requests("/dev/e1-cas"), (Strings{"trunk-open trunk=1 -> 0", "channel trunk=1 timeslot=5 -> 0 open tx=15",
                                                "get trunk=1 timeslot=5 -> 0 rx=9 tx=15", "set trunk=1 timeslot=5 -> 0 tx=2",
                                                "get trunk=1 timeslot=5 -> 0 rx=9 tx=2", "channel trunk=1 timeslot=5 -> 0 close",
                                                "get trunk=1 timeslot=5 -> -1 EINVAL", "trunk-close trunk=1 -> 0"}));
}

TEST_F(E1CtlTest, FailuresAreToldInTheSignalWhatCannotBeServedIsRefusedAndALossClosesTheTrunk)
{
    connect_quietly();
    board.fail("/dev/e1-cas", 0x80044300, EIO);  // trunk open
    send(cas(3, 4, "open : 1"));
    // The driver knows time slots 1 to 31 only.
    send(cas(3, 40, "open : 1"));
    send(cas(4, 1, "open : 0"));
    send(cas(-1, 1, "get : NULL"));
    send("{ seq 5, pdu command : ioctl : echoSuppressor : TRUE }");
    EXPECT_EQ(received(), (Strings{cas_signal(3, 0, -1, 0), success, cas_signal(3, 0, 0, 0), cas_signal(3, 40, -1, 0),
                                   success, error("invalidParams"), error("invalidParams"), error("unsupported")}));
    EXPECT_EQ(requests("/dev/e1-cas"), (Strings{"trunk-open trunk=3 -> -1 EIO", "trunk-open trunk=3 -> 0",
                                                "channel trunk=3 timeslot=40 -> -1 EINVAL open tx=1"}));
    // The controller's loss closes the trunk it opened.
    disconnect();
    EXPECT_EQ(requests("/dev/e1-cas", "trunk-close"), Strings{"trunk-close trunk=3 -> 0"});
}

TEST_F(E1CtlTest, WithoutItsDevicesNothingIsReportedOrComplainedAndTheyAreOpenedAgainEverySecond)
{
    board.set_absent("/dev/maintenance", true);
    board.set_absent("/dev/e1-cas", true);
    connect();
    send("{ seq 5, pdu command : trunkCfg : { trunk 1, mode slave } }");
    send(cas(0, 0, "open : 0"));
    EXPECT_EQ(received(), (Strings{success, error("unsupported")}));

    board.set_absent("/dev/e1-cas", false);
    board.clear_journal();
    pass_ms(1000);
    EXPECT_EQ(requests("/dev/maintenance"), Strings{"open rdwr nonblock -> -1 ENOENT"});
    EXPECT_EQ(requests("/dev/e1-cas"), Strings{"open file=1 rdwr nonblock -> 0"});
    EXPECT_EQ(received(), Strings{});
    EXPECT_EQ(errors.text(), "");
}

TEST_F(E1CtlTest, EachChangeRecordOfTheDriverBecomesOneSignalUntilTheDriverEnds)
{
    connect_quietly();
    send(cas(1, 4, "open : 3"));
    received();
    board.push("/dev/e1-cas", {0, 0, 0, 0, 0, 0, 0, 7, 0x5, 0x9, 0, 0});
    board.push("/dev/e1-cas", {0, 0, 0, 3, 0, 0, 0, 2, 0x1, 0x2, 0, 0});
    board.push("/dev/e1-cas", {0, 0, 0, 1, 0, 0, 0, 2});  // short: not a change record
    pass_ms(0);
    EXPECT_EQ(received(), (Strings{cas_signal(0, 7, 5, 9), cas_signal(3, 2, 1, 2)}));

    // A driver that has gone is closed, not polled for ever, and opened again by the status step.
    board.end_of_file("/dev/e1-cas");
    ASSERT_TRUE(testsupport::run_reactor_until([&] { return !requests("/dev/e1-cas", "close").empty(); }));
    EXPECT_TRUE(logged(errors, "E1: fail to read from cas interface: end of file"));
    pass_ms(1000);
    EXPECT_EQ(requests("/dev/e1-cas", "open").size(), 1u);
}

}  // namespace
