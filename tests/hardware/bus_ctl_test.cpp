#include "board_control_harness.h"

#include "hardware/bus_ctl.h"
#include "hardware/spi_ctrl.h"

namespace {

using Strings = std::vector<std::string>;

std::string clock_cfg(const std::string& sel, const std::string& backplane, int source)
{
    return "{ seq 3, pdu command : clockCfg : { clkSel0 " + sel + ", bextEn " + backplane +
           ", source " + std::to_string(source) + " } }";
}

std::string answer(const std::string& response) { return "{ seq 3, pdu response : " + response + " }"; }

// The clock selections, the other board control services being elsewhere; the controller's
// connect selects the free-running clock first.
class BusCtlTest : public boardtest::BoardControlTest {
protected:
    BusCtl& bus = make<BusCtl>(&make<spiCtrl>());
};

TEST_F(BusCtlTest, TheClockRunsFreeWhileNoControllerChoosesWhatCannotBeIsAnErrorAndDisabledControlLeavesItAlone)
{
    connect();
    EXPECT_EQ(requests("/dev/hal", "clock-select"), Strings{"clock-select source=4 -> 0"});
    board.clear_journal();
    send(clock_cfg("internal", "enabled", 2));
    send(clock_cfg("external", "disabled", 2));
    // A backplane clock needs a source, and the driver knows sources 0 to 7 only.
    send(clock_cfg("external", "enabled", -1));
    send(clock_cfg("external", "enabled", 9));
    EXPECT_EQ(received(), (Strings{answer("success : NULL"), answer("success : NULL"), answer("error : invalidParams"),
                                   answer("error : internal")}));
    EXPECT_EQ(requests("/dev/hal", "clock-select"), (Strings{"clock-select source=4 -> 0", "clock-select source=5 -> 0",
                                                             "clock-select source=9 -> -1 EINVAL"}));
    EXPECT_NE(errors.text().find("clkctl: HW_CLOCK_SELECT fail.\n"), std::string::npos);
    EXPECT_EQ(board.state("/dev/hal", "clock"), Strings{"clock-source=5"});

    // The controller's loss lets it run free again; with clock control disabled it is never touched.
    disconnect();
    EXPECT_EQ(requests("/dev/hal", "clock-select").back(), "clock-select source=4 -> 0");
    bus.DisableControl();
    board.clear_journal();
    disconnect();
    connect();
    send(clock_cfg("external", "disabled", 2));
    EXPECT_EQ(received(), Strings{answer("error : unsupported")});
    EXPECT_EQ(requests("/dev/hal"), Strings{});
}

TEST_F(BusCtlTest, WithoutTheDeviceNoChipMayBeClockMaster)
{
    board.set_absent("/dev/hal", true);
    connect();
    board.clear_journal();
    send(clock_cfg("internal", "disabled", 0));
    EXPECT_EQ(received(), Strings{answer("error : internal")});
    EXPECT_NE(errors.text().find("clkctl: set clock source fail: code 1.\n"), std::string::npos);
    // The BRI chips, whose device was open already, all become clock slaves.
    Strings expected{"open rdwr -> -1 ENOENT"};
    for (int chip = 0; chip < 8; ++chip)
        expected.push_back("spi-write chip=" + std::to_string(chip) + " reg=87 data=48 -> 0");
    EXPECT_EQ(requests("/dev/hal"), expected);

    // A later command finds the device again.
    board.set_absent("/dev/hal", false);
    send(clock_cfg("external", "enabled", 1));
    EXPECT_EQ(received(), Strings{answer("success : NULL")});
    EXPECT_EQ(requests("/dev/hal", "clock-select"), Strings{"clock-select source=1 -> 0"});
}

}  // namespace
