#include "board_control_harness.h"

#include "hardware/spi_ctrl.h"

#include <cerrno>

namespace {

using Strings = std::vector<std::string>;

// The write to every chip in turn, after `before`.
Strings every_chip(int reg, int data, Strings before = {})
{
    for (int chip = 0; chip < 8; ++chip)
        before.push_back("spi-write chip=" + std::to_string(chip) + " reg=" + std::to_string(reg) +
                         " data=" + std::to_string(data) + " -> 0");
    return before;
}

// "state <state>, slips <n>" of a chip's report.
std::string state(const std::string& report)
{
    size_t at = report.find("state");
    return report.substr(at, report.find(", lossBF") - at);
}

class SpiCtrlTest : public boardtest::BoardControlTest {
protected:
    void line_status(int chip, int value)
    {
        board.set("/dev/hal", "spi " + std::to_string(chip) + " 51 " + std::to_string(value));
    }
};

TEST_F(SpiCtrlTest, TheLineStatusGivesTheStateAndEachChipCountsItsOwnSlipsWhileAControllerIsConnected)
{
    make<spiCtrl>();
    // Bit 0 carrier, bit 2 frame alignment, bits 7-6 a normal line (11), a remote alarm (10) or
    // alarm indication; bit 5 coming up is a slip.
    const int line[8] = {0x85, 0x45, 0x01, 0xE5, 0xE5, 0x00, 0xC5, 0xE5};
    for (int chip = 0; chip < 8; ++chip)
        line_status(chip, line[chip]);
    connect();
    pass_ms(1000);
    Strings reports;
    for (const std::string& report : received())
        reports.push_back(state(report));
    EXPECT_EQ(reports, (Strings{"state rai, slips 0", "state ais, slips 0", "state lossBF, slips 0", "state normal, slips 1",
                                "state normal, slips 1", "state lossCarrier, slips 0", "state normal, slips 0",
                                "state normal, slips 1"}));

    // A slip counts when the bit comes up again after it dropped.
    line_status(3, 0xC5);
    pass_ms(1000);
    line_status(3, 0xE5);
    pass_ms(1000);
    reports = received();
    ASSERT_EQ(reports.size(), 16u);
    EXPECT_EQ(state(reports[3]), "state normal, slips 0");
    EXPECT_EQ(state(reports[8 + 3]), "state normal, slips 1");
    EXPECT_EQ(state(reports[8 + 4]), "state normal, slips 0");

    // Nobody to report to: no polling.
    disconnect();
    board.clear_journal();
    pass_ms(2000);
    EXPECT_EQ(requests("/dev/hal", "spi-"), Strings{});
}

TEST_F(SpiCtrlTest, AtTheEndEveryChipIsDisabledAndClockSlave)
{
    {
        spiCtrl spi;
        board.clear_journal();
    }
    Strings closing = every_chip(87, 0x30, every_chip(50, 0x80));
    closing.push_back("close file=1 -> 0");
    EXPECT_EQ(requests("/dev/hal"), closing);
}

TEST_F(SpiCtrlTest, TheClockMasterIsOneChipOrNoneAndAChipBeyondTheBoardChangesNothing)
{
    spiCtrl& spi = make<spiCtrl>();
    board.clear_journal();
    spi.clock(3);
    Strings master = every_chip(87, 0x30);
    master.push_back("spi-write chip=3 reg=87 data=56 -> 0");
    EXPECT_EQ(requests("/dev/hal", "spi-"), master);
    EXPECT_TRUE(logged(debug, "spi: set clock master on channel 3"));

    board.clear_journal();
    spi.clock(-1);
    EXPECT_EQ(requests("/dev/hal", "spi-"), every_chip(87, 0x30));
    EXPECT_TRUE(logged(debug, "spi: clock master disabled"));

    board.clear_journal();
    spi.clock(8);
    spi.clock(-2);
    EXPECT_EQ(requests("/dev/hal", "spi-"), Strings{});
    EXPECT_TRUE(logged(debug, "spi: bad channel for set clock master 8"));
    EXPECT_TRUE(logged(debug, "spi: bad channel for set clock master -2"));
}

TEST_F(SpiCtrlTest, RegisterErrorsAreLoggedAFailedReadShowsNoCarrierAndNoSpiStopsThePolling)
{
    spiCtrl& spi = make<spiCtrl>();
    for (int chip = 0; chip < 8; ++chip)
        line_status(chip, 0xC5);
    connect();
    board.fail("/dev/hal", 0xC0034203, EIO);  // read
    pass_ms(1000);
    Strings reports = received();
    ASSERT_EQ(reports.size(), 8u);
    EXPECT_EQ(state(reports[0]), "state lossCarrier, slips 0");
    EXPECT_EQ(state(reports[1]), "state normal, slips 0");
    EXPECT_TRUE(logged(debug, "spi: read error: channel=0 addr=51"));
    board.fail("/dev/hal", 0xC0034204, EIO);  // write
    spi.disable_channel(4);
    EXPECT_TRUE(logged(debug, "spi: write error: channel=4 addr=50 data=128"));

    // No SPI found while polling stops the polling and every chip operation for good.
    board.clear_journal();
    board.fail("/dev/hal", 0xC0034203, ENODEV);
    pass_ms(1000);
    EXPECT_EQ(received(), Strings{});
    disconnect();
    connect();
    pass_ms(2000);
    spi.clock(3);
    EXPECT_EQ(received(), Strings{});
    EXPECT_EQ(requests("/dev/hal", "spi-"), Strings{"spi-read -> -1 ENODEV"});
    EXPECT_EQ(errors.text(), "");
}

TEST_F(SpiCtrlTest, WithoutTheDeviceNothingIsPolledAndEveryChipOperationTriesAgain)
{
    board.set_absent("/dev/hal", true);
    spiCtrl& spi = make<spiCtrl>();
    connect();
    pass_ms(2000);
    EXPECT_EQ(received(), Strings{});

    // The open sets every chip up and enables it (eight writes each) before the clock's own writes.
    board.set_absent("/dev/hal", false);
    board.clear_journal();
    spi.clock(-1);
    Strings expected{"open file=1 rdwr -> 0"};
    for (int chip = 0; chip < 8; ++chip)
        for (auto [reg, data] : {std::pair{50, 0x80}, {48, 0x08}, {87, 0x30}, {52, 0x60}, {53, 0}, {54, 0}, {55, 0}, {50, 0}})
            expected.push_back("spi-write chip=" + std::to_string(chip) + " reg=" + std::to_string(reg) +
                               " data=" + std::to_string(data) + " -> 0");
    EXPECT_EQ(requests("/dev/hal"), every_chip(87, 0x30, expected));
}

}  // namespace
