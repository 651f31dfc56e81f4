#include "board/hw_mux.h"

#include "support/board_emulator.h"
#include "support/journal_requests.h"
#include "support/switch_requests.h"
#include "../foundation/reactor/reactor_test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <vector>

namespace {

using namespace testsupport;
using Strings = std::vector<std::string>;

class HwMuxTest : public ::testing::Test {
protected:
    // What the emulated switch drives on a channel, and how often a disable found it disabled.
    std::string output(int channel) { return board.state("/dev/hal", std::to_string(channel)).at(0); }
    std::string repeated() { return board.state("/dev/hal").back(); }
    void refresh(int runs, HwMux& mux)
    {
        for (int i = 0; i < runs; ++i)
            mux.OnDPC();
    }

    TempRoot root;
    BoardEmulator board{root};
    reactortest::CaptureStream log{std::clog};
};

TEST_F(HwMuxTest, OpeningDisablesEveryOutputAndTheRefreshSweepsTheMapFromIndexOneInBatchesOf128)
{
    // Outputs that an earlier run left driven are released by the opening sweep.
    Fd hal = Device::open("/dev/hal", O_RDWR);
    ASSERT_EQ(switch_write_byte(hal, 9000, 0x11), 0);
    ASSERT_EQ(switch_connect_output(hal, 100, 4), 0);
    board.clear_journal();
    HwMux mux;
    EXPECT_EQ(switch_requests(board), Strings{"disable output=9000 -> 0"});
    EXPECT_EQ(output(100), "output=100 source=4 repeats=0");  // not an output of the switch
    EXPECT_EQ(log.text(), "hwMux: init\nhwMux: device opened\n");

    mux.OnDPC();
    EXPECT_EQ(output(8192), "output=8192 disabled repeats=1");
    EXPECT_EQ(output(8193), "output=8193 disabled repeats=2");
    EXPECT_EQ(output(8320), "output=8320 disabled repeats=2");
    EXPECT_EQ(output(8321), "output=8321 disabled repeats=1");
    refresh(14, mux);
    EXPECT_EQ(output(10239), "output=10239 disabled repeats=1");
    mux.OnDPC();  // the sixteenth run wraps the cursor and ends on index 0
    EXPECT_EQ(output(10239), "output=10239 disabled repeats=2");
    EXPECT_EQ(output(8192), "output=8192 disabled repeats=2");
    EXPECT_EQ(output(8193), "output=8193 disabled repeats=2");
    EXPECT_EQ(repeated(), "repeated-disables=4095");
    hal.close();
}

TEST_F(HwMuxTest, RefreshReleasesStrayDrivesButKeepsWhatTheMapRecords)
{
    HwMux mux;
    ASSERT_TRUE(mux.Connect(5, 8200));
    ASSERT_TRUE(mux.Disconnect(8201));
    ASSERT_TRUE(mux.Write(8202, 0x7F));
    Fd hal = Device::open("/dev/hal", O_RDWR);
    ASSERT_EQ(switch_connect_output(hal, 8203, 6), 0);  // behind the map's back

    refresh(16, mux);
    EXPECT_EQ(output(8200), "output=8200 source=5 repeats=1");
    EXPECT_EQ(output(8201), "output=8201 constant=213 repeats=1");
    EXPECT_EQ(output(8202), "output=8202 constant=127 repeats=1");
    EXPECT_EQ(output(8203).rfind("output=8203 disabled", 0), 0u);

    // Disabling through the switch puts the output back under the refresh.
    ASSERT_TRUE(mux.Disable(8200));
    refresh(16, mux);
    EXPECT_EQ(output(8200), "output=8200 disabled repeats=2");
    hal.close();
}

TEST_F(HwMuxTest, ChannelsOutsideTheSwitchGoToTheDriverUnmapped)
{
    HwMux mux;
    board.clear_journal();
    ASSERT_TRUE(mux.Connect(69, 35));
    ASSERT_TRUE(mux.Write(36, 0x22));
    EXPECT_FALSE(mux.Disable(20000));  // the driver refuses it
    EXPECT_FALSE(mux.Connect(-1, 8200));
    EXPECT_FALSE(mux.Disconnect(-5));
    EXPECT_EQ(mux.Read(-5), 0xFF);
    refresh(16, mux);
    EXPECT_EQ(switch_requests(board), (Strings{"connect output=35 source=69 -> 0", "write output=36 value=34 -> 0",
                                               "disable output=20000 -> -1 EINVAL"}));
    EXPECT_EQ(output(35), "output=35 source=69 repeats=0");
    // The map was left alone: every output of the switch is still refreshed.
    EXPECT_EQ(repeated(), "repeated-disables=4096");
    EXPECT_NE(log.text().find("hwMux: disable failed 20000 : Invalid argument\n"), std::string::npos);
    EXPECT_NE(log.text().find("hwMux: ERROR not opened\n"), std::string::npos);
}

TEST_F(HwMuxTest, FailedRequestsAreLoggedAndTheMapKeepsTheRequestedValue)
{
    HwMux mux;
    board.fail("/dev/hal", switch_write, EIO, 2);
    board.fail("/dev/hal", switch_connect, EBUSY);
    board.fail("/dev/hal", switch_read, ENXIO);
    EXPECT_FALSE(mux.Write(8300, 0x5A));
    EXPECT_FALSE(mux.Disconnect(8301));
    EXPECT_FALSE(mux.Connect(7, 8302));
    EXPECT_EQ(mux.Read(8300), 0xFF);
    EXPECT_EQ(log.text(), "hwMux: init\nhwMux: device opened\n"
                          "hwMux: write failed 8300 <- 0x5A : Input/output error\n"
                          "hwMux: disconnect failed 8301 : Input/output error\n"
                          "hwMux: connect 7 -> 8302 failed: Device or resource busy\n"
                          "hwMux: read failed 8300 -> 0xFF : No such device or address\n");

    // Recorded as driven, so the refresh leaves them alone although the requests failed.
    refresh(16, mux);
    for (int output : {8300, 8301, 8302})
        EXPECT_EQ(this->output(output), "output=" + std::to_string(output) + " disabled repeats=1");
    board.set("/dev/hal", "remote 8300 0x22");
    EXPECT_EQ(mux.Read(8300), 0x22);
}

TEST_F(HwMuxTest, ADeviceThatFailedToOpenIsOpenedByTheNextOperation)
{
    board.set_absent("/dev/hal", true);
    HwMux mux;
    EXPECT_FALSE(mux.IsOpened());
    EXPECT_EQ(mux.Read(8200), 0xFF);
    EXPECT_FALSE(mux.Write(8200, 1));
    mux.OnDPC();
    EXPECT_EQ(repeated(), "repeated-disables=0");
    std::string cant_open = "hwMux: can't open device: No such file or directory\n";
    EXPECT_EQ(log.text(), "hwMux: init\n" + cant_open + cant_open + cant_open + cant_open);

    board.set_absent("/dev/hal", false);
    board.clear_journal();
    ASSERT_TRUE(mux.Connect(5, 8200));
    EXPECT_EQ(switch_requests(board), Strings{"connect output=8200 source=5 -> 0"});
    EXPECT_EQ(repeated(), "repeated-disables=2048");
    mux.OnDPC();
    EXPECT_EQ(output(8201), "output=8201 disabled repeats=2");
    EXPECT_TRUE(mux.IsOpened());
}

}  // namespace
