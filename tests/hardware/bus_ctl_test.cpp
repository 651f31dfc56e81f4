#include "board_control_harness.h"

#include "hardware/bus_ctl.h"
#include "hardware/spi_ctrl.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Strings = std::vector<std::string>;

std::string clock_cfg(const std::string& sel, const std::string& backplane, int source)
{
    return "{ seq 3, pdu command : clockCfg : { clkSel0 " + sel + ", bextEn " + backplane +
           ", source " + std::to_string(source) + " } }";
}

const std::string success = "{ seq 3, pdu response : success : NULL }";

std::string error(const std::string& cause) { return "{ seq 3, pdu response : error : " + cause + " }"; }

// The clock selections, the other board control services being elsewhere.
class BusCtlTest : public boardtest::BoardControlTest {
protected:
    BusCtlTest() { make<BusCtl>(&make<spiCtrl>()); }

    Strings selections()
    {
        Strings lines;
        for (const std::string& line : requests("/dev/hal"))
            if (line.compare(0, 12, "clock-select") == 0)
                lines.push_back(line);
        return lines;
    }
};

TEST_F(BusCtlTest, AnExternalClockOffTheBackplaneIsSourceFiveAndWhatCannotBeSelectedIsAnError)
{
    connect();
    board.clear_journal();
    send(clock_cfg("external", "disabled", 2));
    EXPECT_EQ(received(), Strings{success});
    EXPECT_NE(errors.text().find("clkctl: clock source = X3\n"), std::string::npos);
    // A backplane clock needs a source, and the driver knows sources 0 to 7 only.
    send(clock_cfg("external", "enabled", -1));
    send(clock_cfg("external", "enabled", 9));
    EXPECT_EQ(received(), (Strings{error("invalidParams"), error("internal")}));
    EXPECT_EQ(selections(), (Strings{"clock-select source=5 -> 0", "clock-select source=9 -> -1 EINVAL"}));
    EXPECT_NE(errors.text().find("clkctl: HW_CLOCK_SELECT fail.\n"), std::string::npos);
    EXPECT_EQ(board.state("/dev/hal", "clock"), Strings{"clock-source=5"});
}

TEST_F(BusCtlTest, WithoutTheDeviceNoChipMayBeClockMaster)
{
    board.set_absent("/dev/hal", true);
    connect();
    board.clear_journal();
    send(clock_cfg("internal", "disabled", 0));
    EXPECT_EQ(received(), Strings{error("internal")});
    EXPECT_NE(errors.text().find("clkctl: set clock source fail: code 1.\n"), std::string::npos);
    // The BRI chips, whose device was open already, all become clock slaves.
    Strings expected{"open rdwr -> -1 ENOENT"};
    for (int chip = 0; chip < 8; ++chip)
        expected.push_back("spi-write chip=" + std::to_string(chip) + " reg=87 data=48 -> 0");
    EXPECT_EQ(requests("/dev/hal"), expected);

    // A later command finds the device again.
    board.set_absent("/dev/hal", false);
    send(clock_cfg("external", "enabled", 1));
    EXPECT_EQ(received(), Strings{success});
    EXPECT_EQ(selections(), Strings{"clock-select source=1 -> 0"});
}

}  // namespace
