#include "board_control_harness.h"

#include "hardware/spi_ctrl.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sstream>
#include <utility>

namespace {

using Strings = std::vector<std::string>;

constexpr uint32_t spi_read = 0xC0034203;
constexpr uint32_t spi_write = 0xC0034204;

std::string written(int chip, int reg, int data)
{
    return "spi-write chip=" + std::to_string(chip) + " reg=" + std::to_string(reg) + " data=" + std::to_string(data) +
           " -> 0";
}

std::string status(int chip, const std::string& state, int slips)
{
    return "{ pdu signal : trunkStatus : { trunk " + std::to_string(chip) + ", state " + state + ", slips " +
           std::to_string(slips) +
           ", lossBF 0, lossCarrier 0, lossAIS 0, lossRAI 0, name \"\", clockMaster FALSE, type bri } }";
}

class SpiCtrlTest : public boardtest::BoardControlTest {
protected:
    Strings register_requests()
    {
        Strings lines;
        for (const std::string& line : requests("/dev/hal"))
            if (line.compare(0, 4, "spi-") == 0)
                lines.push_back(line);
        return lines;
    }
    // The service's own lines of the debug stream.
    std::string spi_log()
    {
        std::istringstream text(debug.text());
        std::string lines;
        for (std::string line; std::getline(text, line);)
            if (line.compare(0, 5, "spi: ") == 0)
                lines += line + '\n';
        return lines;
    }
    void line_status(int chip, int value)
    {
        board.set("/dev/hal", "spi " + std::to_string(chip) + " 51 " + std::to_string(value));
    }
};

TEST_F(SpiCtrlTest, EachChipCountsItsOwnSlips)
{
    make<spiCtrl>();
    for (int chip = 0; chip < 8; ++chip)
        line_status(chip, 0xE5);
    connect();
    pass_ms(1000);
    Strings slips;
    for (const std::string& signal : received())
        slips.push_back(signal.substr(signal.find("slips"), 7));
    EXPECT_EQ(slips, Strings(8, "slips 1"));

    line_status(3, 0xC5);
    pass_ms(1000);
    line_status(3, 0xE5);
    pass_ms(1000);
    Strings later = received();
    ASSERT_EQ(later.size(), 16u);
    EXPECT_EQ(later[3], status(3, "normal", 0));
    EXPECT_EQ(later[8 + 3], status(3, "normal", 1));
    EXPECT_EQ(later[8 + 4], status(4, "normal", 0));
}

TEST_F(SpiCtrlTest, ClockMasterIsOneChipOrNoneAndAtTheEndEveryChipIsDisabledAndSlave)
{
    {
        spiCtrl spi;
        board.clear_journal();
        spi.clock(3);
        spi.clock(-1);
        spi.clock(8);
        spi.clock(-2);
        Strings expected;
        for (int chip = 0; chip < 8; ++chip)
            expected.push_back(written(chip, 87, 0x30));
        expected.push_back(written(3, 87, 0x38));
        for (int chip = 0; chip < 8; ++chip)
            expected.push_back(written(chip, 87, 0x30));
        EXPECT_EQ(register_requests(), expected);
        EXPECT_EQ(spi_log().substr(spi_log().find("spi: set clock")),
                  "spi: set clock master on channel 3\nspi: clock master disabled\n"
                  "spi: bad channel for set clock master 8\nspi: bad channel for set clock master -2\n");
        board.clear_journal();
    }
    Strings expected;
    for (int chip = 0; chip < 8; ++chip)
        expected.push_back(written(chip, 50, 0x80));
    for (int chip = 0; chip < 8; ++chip)
        expected.push_back(written(chip, 87, 0x30));
    expected.push_back("close file=1 -> 0");
    EXPECT_EQ(requests("/dev/hal"), expected);
}

TEST_F(SpiCtrlTest, RegisterErrorsAreLoggedAFailedReadShowsNoCarrierAndNoSpiStopsThePolling)
{
    spiCtrl& spi = make<spiCtrl>();
    for (int chip = 0; chip < 8; ++chip)
        line_status(chip, 0xC5);
    connect();
    board.fail("/dev/hal", spi_read, EIO);
    pass_ms(1000);
    Strings signals = received();
    ASSERT_EQ(signals.size(), 8u);
    EXPECT_EQ(signals[0], status(0, "lossCarrier", 0));
    EXPECT_EQ(signals[1], status(1, "normal", 0));
    EXPECT_NE(spi_log().find("spi: read error: channel=0 addr=51\n"), std::string::npos);

    board.fail("/dev/hal", spi_write, EIO);
    spi.disable_channel(4);
    EXPECT_NE(spi_log().find("spi: write error: channel=4 addr=50 data=128\nspi: disable channel 4\n"),
              std::string::npos);
    EXPECT_EQ(errors.text(), "");

    // No SPI found while polling stops the polling for good.
    board.clear_journal();
    board.fail("/dev/hal", spi_read, ENODEV);
    pass_ms(1000);
    pass_ms(2000);
    EXPECT_EQ(received(), Strings{});
    EXPECT_EQ(register_requests(), Strings{"spi-read -> -1 ENODEV"});
}

TEST_F(SpiCtrlTest, WithoutTheDeviceNothingIsPolledAndEveryChipOperationTriesAgain)
{
    board.set_absent("/dev/hal", true);
    spiCtrl& spi = make<spiCtrl>();
    EXPECT_EQ(spi_log(), "spi: try init\nspi: /dev/hal open fail\n");
    connect();
    pass_ms(2000);
    EXPECT_EQ(received(), Strings{});

    board.set_absent("/dev/hal", false);
    board.clear_journal();
    spi.clock(-1);
    Strings expected{"open file=1 rdwr -> 0"};
    for (int chip = 0; chip < 8; ++chip)
        for (auto [reg, data] : {std::pair{50, 0x80}, {48, 0x08}, {87, 0x30}, {52, 0x60}, {53, 0}, {54, 0}, {55, 0},
                                 {50, 0}})
            expected.push_back(written(chip, reg, data));
    for (int chip = 0; chip < 8; ++chip)
        expected.push_back(written(chip, 87, 0x30));
    EXPECT_EQ(requests("/dev/hal"), expected);
}

}  // namespace
