#include "foundation/os/device.h"
#include "support/board_emulator.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace testsupport;

TEST(WatchdogModel, JournalsStartPingAndStopWithTheirTimes)
{
    TempRoot root;
    BoardEmulator board(root);
    EXPECT_EQ(board.state("/dev/misc/gw-wd"), (std::vector<std::string>{"idle pings=0"}));
    Fd watchdog = Device::open("/dev/misc/gw-wd", O_WRONLY);
    ASSERT_TRUE(watchdog) << strerror(errno);
    board.clear_journal();

    ASSERT_EQ(write(watchdog, "START", 5), 5);
    ASSERT_EQ(write(watchdog, "PING", 4), 4);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(write(watchdog, "PING", 4), 4);
    EXPECT_EQ(board.state("/dev/misc/gw-wd"), (std::vector<std::string>{"running pings=2"}));
    ASSERT_EQ(write(watchdog, "STOP", 4), 4);
    ASSERT_EQ(write(watchdog, "BARK", 4), 4);
    watchdog.close();

    auto journal = board.journal();
    ASSERT_EQ(journal.size(), 6u);
    EXPECT_EQ(journal[0].request, "START");
    EXPECT_EQ(journal[0].result, "5");
    EXPECT_EQ(journal[1].request, "PING");
    EXPECT_EQ(journal[2].request, "PING");
    EXPECT_GE(journal[2].time_ms - journal[1].time_ms, 50u);
    EXPECT_EQ(journal[3].request, "STOP");
    // Anything else written is kept as it came.
    EXPECT_EQ(journal[4].request, "write");
    EXPECT_EQ(journal[4].fields, "file=1 record=4241524B");
    EXPECT_EQ(journal[5].request, "close");
    for (const JournalEntry& entry : journal)
        EXPECT_EQ(entry.device, "/dev/misc/gw-wd");
    EXPECT_EQ(board.state("/dev/misc/gw-wd"), (std::vector<std::string>{"stopped pings=2"}));
}

}  // namespace
