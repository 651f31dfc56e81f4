// The board emulator's test controls and its TDM switch model, through the device API as the
// daemon reaches them.

#include "support/board_emulator.h"
#include "support/switch_requests.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

using namespace testsupport;
using Strings = std::vector<std::string>;

class BoardEmulatorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        hal = Device::open("/dev/hal", O_RDWR);
        ASSERT_TRUE(hal) << strerror(errno);
        board.clear_journal();
    }
    void TearDown() override { hal.close(); }

    TempRoot root;
    BoardEmulator board{root};
    Fd hal;
};

TEST_F(BoardEmulatorTest, AnInjectedErrnoFailsExactlyTheNamedRequests)
{
    Fd watchdog = Device::open("/dev/misc/gw-wd", O_WRONLY);
    ASSERT_TRUE(watchdog);
    board.fail("/dev/hal", switch_connect, ENODEV);
    board.fail("/dev/hal", switch_write, EIO, 2);

    // The same code on another device, and another code on this one, are untouched.
    errno = 0;
    EXPECT_EQ(Device::request_in(watchdog, switch_connect, switch_record(35, 69)), -1);
    EXPECT_EQ(errno, ENOTTY);
    EXPECT_EQ(switch_disable_output(hal, 35), 0);

    errno = 0;
    EXPECT_EQ(switch_connect_output(hal, 35, 69), -1);
    EXPECT_EQ(errno, ENODEV);
    EXPECT_EQ(board.journal().back().fields, "output=35 source=69");
    EXPECT_EQ(board.journal().back().result, "-1 ENODEV");
    EXPECT_EQ(switch_connect_output(hal, 35, 69), 0);

    EXPECT_EQ(switch_write_byte(hal, 36, 1), -1);
    EXPECT_EQ(switch_write_byte(hal, 36, 1), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(switch_write_byte(hal, 36, 1), 0);
    watchdog.close();
}

TEST_F(BoardEmulatorTest, RequestsOutsideADriversTableAndMalformedCommandsAreRefused)
{
    errno = 0;
    EXPECT_EQ(Device::request(hal, 0x20004D7F), -1);
    EXPECT_EQ(errno, ENOTTY);
    EXPECT_EQ(board.journal().back().request, "request");
    EXPECT_EQ(board.journal().back().fields, "code=0x20004D7F");
    // A connect whose record travels by value, or is short, is not what the driver copies.
    errno = 0;
    EXPECT_EQ(Device::request_value(hal, switch_connect, 35), -1);
    EXPECT_EQ(errno, EFAULT);
    EXPECT_EQ(board.journal().back().fields, "value=35");
    std::array<uint8_t, 4> short_record{0, 0, 0, 35};
    EXPECT_EQ(Device::request_in(hal, switch_connect, short_record), -1);
    EXPECT_EQ(errno, EFAULT);
    EXPECT_EQ(board.journal().back().fields, "record=00000023");

    for (const char* line : {"", "frobnicate", "journal everything", "state /dev/nothing", "state /dev/hal 99999",
                             "set /dev/hal remote 9000 256", "push /dev/hal 123", "push /dev/dsp 00",
                             "fail /dev/hal 0x80084D02 ENOTANERRNO", "script /dev/hal connect 0", "eof 42"})
        EXPECT_THROW(board.command(line), std::runtime_error) << line;
    EXPECT_NO_THROW(board.command("journal clear"));
    EXPECT_TRUE(board.journal().empty());
}

TEST_F(BoardEmulatorTest, EndsCleanlyOnSigterm)
{
    int status = board.stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    struct stat gone;
    EXPECT_NE(stat((root / "/dev/board").c_str(), &gone), 0);
    EXPECT_NE(stat((root / "/dev/board-control").c_str(), &gone), 0);
    // The daemon's descriptor sees the board go.
    pollfd hangup{hal, POLLIN, 0};
    ASSERT_EQ(poll(&hangup, 1, 10000), 1);
    EXPECT_NE(hangup.revents & POLLHUP, 0);
}

TEST_F(BoardEmulatorTest, TheSwitchShowsItsConnectionsAndReadsBackTheWrittenConstant)
{
    ASSERT_EQ(switch_write_byte(hal, 9000, 0x5A), 0);
    EXPECT_EQ(switch_read_byte(hal, 9000), 0x5A);
    ASSERT_EQ(switch_connect_output(hal, 35, 69), 0);
    EXPECT_EQ(board.state("/dev/hal"),
              (Strings{"output=35 source=69", "output=9000 constant=90", "repeated-disables=0"}));
    EXPECT_EQ(board.state("/dev/hal", "35"), Strings{"output=35 source=69 repeats=0"});
    Strings journal;
    for (const JournalEntry& entry : board.journal())
        journal.push_back(entry.request + " " + entry.fields + " -> " + entry.result);
    EXPECT_EQ(journal, (Strings{"write output=9000 value=90 -> 0", "read channel=9000 value=255 -> 0 byte=90",
                                "connect output=35 source=69 -> 0"}));
    ASSERT_EQ(switch_disable_output(hal, 35), 0);
    EXPECT_EQ(board.state("/dev/hal", "35"), Strings{"output=35 disabled repeats=0"});
}

TEST_F(BoardEmulatorTest, TheSwitchFollowsSourcesRefusesWhatIsOutsideItsRangeAndARingFloats)
{
    // An output driven from a source carries what is seen on the source, the remote byte before the constant.
    ASSERT_EQ(switch_write_byte(hal, 8300, 0x11), 0);
    board.set("/dev/hal", "remote 8300 0x22");
    ASSERT_EQ(switch_connect_output(hal, 8302, 8300), 0);
    EXPECT_EQ(switch_read_byte(hal, 8302), 0x22);
    board.set("/dev/hal", "remote 8300 none");
    EXPECT_EQ(switch_read_byte(hal, 8302), 0x11);
    // Connections in a ring with nothing driving them float.
    ASSERT_EQ(switch_connect_output(hal, 8303, 8304), 0);
    ASSERT_EQ(switch_connect_output(hal, 8304, 8303), 0);
    EXPECT_EQ(switch_read_byte(hal, 8303), 0xFF);

    using Request = int (*)(int);
    for (Request request : {+[](int fd) { return switch_connect_output(fd, 10240, 5); },
                            +[](int fd) { return switch_connect_output(fd, 8200, -1); },
                            +[](int fd) { return switch_write_byte(fd, 8200, 256); },
                            +[](int fd) { return switch_disable_output(fd, 20000); },
                            +[](int fd) { return switch_read_byte(fd, -3); }}) {
        errno = 0;
        EXPECT_EQ(request(hal), -1);
        EXPECT_EQ(errno, EINVAL);
    }
    EXPECT_EQ(board.journal().back().result, "-1 EINVAL");
}

long resident_kib(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

TEST_F(BoardEmulatorTest, RepeatedDisablesAreCountedPerOutputAndMemoryStaysFlat)
{
    ASSERT_EQ(switch_connect_output(hal, 8200, 5), 0);
    ASSERT_EQ(switch_disable_output(hal, 8200), 0);  // a change of the switch: journalled
    // The daemon's refresh: every output of the backplane, over and over.
    auto sweep = [this](int requests) {
        for (int i = 0; i < requests; ++i)
            if (switch_disable_output(hal, 8192 + i % 2048) != 0)
                return false;
        return true;
    };
    ASSERT_TRUE(sweep(20480));
    long before = resident_kib(board.pid());
    ASSERT_TRUE(sweep(102400));
    long after = resident_kib(board.pid());
    ASSERT_GT(before, 0);
    EXPECT_LT(after - before, 256) << before << " KiB before, " << after << " KiB after";
    EXPECT_EQ(board.state("/dev/hal", "8200"), Strings{"output=8200 disabled repeats=60"});
    EXPECT_EQ(board.state("/dev/hal").back(), "repeated-disables=122880");
    EXPECT_EQ(board.journal().size(), 2u);
    EXPECT_EQ(board.journal().back().request, "disable");
}

}  // namespace
