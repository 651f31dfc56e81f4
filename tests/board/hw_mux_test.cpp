#include "board/hw_mux.h"

#include "support/journal_requests.h"
#include "support/switch_requests.h"
#include "../foundation/reactor/reactor_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>

namespace {

using namespace testsupport;
using Strings = std::vector<std::string>;

class HwMuxTest : public ::testing::Test {
protected:
    // What the emulated switch drives on a channel, and how often a disable found its output disabled.
    std::string output(int channel) { return board.state("/dev/hal", std::to_string(channel)).at(0); }
    std::string repeated() { return board.state("/dev/hal").back(); }
    // One full cycle of the background refresh.
    static void refresh(HwMux& mux)
    {
        for (int i = 0; i < 16; ++i)
            mux.OnDPC();
    }

    TempRoot root;
    BoardEmulator board{root};
    reactortest::CaptureStream log{std::clog};
};

TEST_F(HwMuxTest, OpeningAndEveryRefreshCycleDisableExactlyTheOutputsTheMapHoldsDisabled)
{
    // Drives that an earlier run left behind, and one made behind the map's back later (8203).
    Fd hal = Device::open("/dev/hal", O_RDWR);
    ASSERT_EQ(switch_write_byte(hal, 9000, 0x11), 0);
    ASSERT_EQ(switch_connect_output(hal, 100, 4), 0);  // not an output of the switch
    board.clear_journal();
    HwMux mux;
    EXPECT_EQ(switch_requests(board), Strings{"disable output=9000 -> 0"});
    ASSERT_TRUE(mux.Connect(5, 8200));
    // Sources beyond the switch's channels are refused and leave the map as it was.
    for (int source : {10240, 65534, 65535})
        EXPECT_FALSE(mux.Connect(source, 8200));
    ASSERT_EQ(switch_connect_output(hal, 8203, 6), 0);

    // Each of the 2047 outputs held disabled once more (8203 a change, not a repeat), both ends included.
    refresh(mux);
    EXPECT_EQ(repeated(), "repeated-disables=" + std::to_string(2047 + 2046));
    for (int end : {8192, 10239})
        EXPECT_EQ(output(end), "output=" + std::to_string(end) + " disabled repeats=2");
    EXPECT_EQ(output(8200), "output=8200 source=5 repeats=1");
    EXPECT_EQ(output(8203).rfind("output=8203 disabled", 0), 0u);

    // Disabling through the switch puts the output back under the refresh; channels outside the
    // switch go to the driver unmapped.
    ASSERT_TRUE(mux.Disable(8200));
    ASSERT_TRUE(mux.Connect(69, 35));
    refresh(mux);
    EXPECT_EQ(output(8200), "output=8200 disabled repeats=2");
    EXPECT_EQ(output(35), "output=35 source=69 repeats=0");
    hal.close();
}

TEST_F(HwMuxTest, FailedAndRefusedRequestsAreLoggedAndTheMapKeepsTheRequestedValue)
{
    HwMux mux;
    board.fail("/dev/hal", switch_write, EIO, 2);
    board.fail("/dev/hal", switch_connect, EBUSY);
    board.fail("/dev/hal", switch_read, ENXIO);
    EXPECT_FALSE(mux.Write(8300, 0x5A));
    EXPECT_FALSE(mux.Disconnect(8301));
    EXPECT_FALSE(mux.Connect(7, 8302));
    EXPECT_EQ(mux.Read(8300), 0xFF);
    EXPECT_FALSE(mux.Connect(-1, 8200) || mux.Disconnect(-5) || mux.Disable(-5) || mux.Read(-5) != 0xFF);
    EXPECT_NE(log.text().find("hwMux: connect 7 -> 8302 failed: Device or resource busy\n"), std::string::npos);

    // Recorded as driven (a constant or a source), so the refresh leaves them alone although the
    // requests failed.
    refresh(mux);
    for (int output : {8300, 8301, 8302})
        EXPECT_EQ(this->output(output), "output=" + std::to_string(output) + " disabled repeats=1");
}

TEST_F(HwMuxTest, ADeviceThatFailedToOpenIsOpenedByTheNextOperation)
{
    board.set_absent("/dev/hal", true);
    HwMux mux;
    EXPECT_EQ(mux.Read(8200), 0xFF);

    board.set_absent("/dev/hal", false);
    board.clear_journal();
    ASSERT_TRUE(mux.Connect(5, 8200));
    EXPECT_EQ(switch_requests(board), Strings{"connect output=8200 source=5 -> 0"});
    EXPECT_EQ(repeated(), "repeated-disables=2048");
    mux.OnDPC();
    EXPECT_EQ(output(8201), "output=8201 disabled repeats=2");
}

TEST(PrintTrace, PrintsTheCountAndOneLinePerFrameOfTheTenInnermost)
{
    reactortest::CaptureStream out(std::cout);
    print_trace();
    std::string text = out.text();  // a test runs deeper than ten frames
    EXPECT_EQ(text.rfind("Obtained 10 stack frames.\n", 0), 0u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 11);
}

}  // namespace
