#include "support/board_emulator.h"
#include "support/switch_requests.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace testsupport;

class BoardEmulatorTest : public ::testing::Test {
protected:
    TempRoot root;
    BoardEmulator board{root};
};

TEST_F(BoardEmulatorTest, AnInjectedErrnoFailsExactlyTheNamedRequests)
{
    Fd hal = Device::open("/dev/hal", O_RDWR);
    Fd watchdog = Device::open("/dev/misc/gw-wd", O_WRONLY);
    ASSERT_TRUE(hal);
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
    EXPECT_EQ(board.state("/dev/hal", "35").front(), "output=35 source=69 repeats=1");

    EXPECT_EQ(switch_write_byte(hal, 36, 1), -1);
    EXPECT_EQ(switch_write_byte(hal, 36, 1), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(switch_write_byte(hal, 36, 1), 0);
    hal.close();
    watchdog.close();
}

TEST_F(BoardEmulatorTest, ScriptedAnswersComeInOrderAndThenTheModelAnswersAgain)
{
    Fd hal = Device::open("/dev/hal", O_RDWR);
    ASSERT_TRUE(hal);
    board.script("/dev/hal", switch_read, 7, {0x00, 0x00, 0x23, 0x28, 0x00, 0x00, 0x00, 0x42});
    board.script("/dev/hal", switch_read, 0);

    std::array<uint8_t, 8> record = switch_record(1, 255);
    EXPECT_EQ(Device::request_inout(hal, switch_read, record), 7);
    EXPECT_EQ(record, switch_record(9000, 0x42));
    EXPECT_EQ(board.journal().back().result, "7 scripted");
    record = switch_record(1, 255);
    EXPECT_EQ(Device::request_inout(hal, switch_read, record), 0);
    EXPECT_EQ(record, switch_record(1, 255));
    EXPECT_EQ(switch_write_byte(hal, 1, 0x10), 0);
    EXPECT_EQ(switch_read_byte(hal, 1), 0x10);
    hal.close();
}

TEST_F(BoardEmulatorTest, RequestsOutsideADriversTableAreRefusedAndJournalled)
{
    Fd hal = Device::open("/dev/hal", O_RDWR);
    ASSERT_TRUE(hal);
    errno = 0;
    EXPECT_EQ(Device::request(hal, 0x20004D7F), -1);
    EXPECT_EQ(errno, ENOTTY);
    EXPECT_EQ(board.journal().back().request, "request");
    EXPECT_EQ(board.journal().back().fields, "code=0x20004D7F");

    // A connect whose record travels by value, or is short, is not what the driver copies.
    errno = 0;
    EXPECT_EQ(Device::request_value(hal, switch_connect, 35), -1);
    EXPECT_EQ(errno, EFAULT);
    EXPECT_EQ(board.journal().back().request, "connect");
    EXPECT_EQ(board.journal().back().fields, "value=35");
    std::array<uint8_t, 4> short_record{0, 0, 0, 35};
    EXPECT_EQ(Device::request_in(hal, switch_connect, short_record), -1);
    EXPECT_EQ(errno, EFAULT);
    EXPECT_EQ(board.journal().back().fields, "record=00000023");
    hal.close();
}

TEST_F(BoardEmulatorTest, AnAbsentDeviceFailsToOpenUntilItIsBack)
{
    board.set_absent("/dev/hal", true);
    errno = 0;
    EXPECT_FALSE(Device::open("/dev/hal", O_RDWR));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(board.journal().back().result, "-1 ENOENT");
    errno = 0;
    EXPECT_FALSE(Device::open("/dev/no-such-device", O_RDWR));
    EXPECT_EQ(errno, ENOENT);

    board.set_absent("/dev/hal", false);
    Fd hal = Device::open("/dev/hal", O_RDWR);
    EXPECT_TRUE(hal);
    hal.close();
}

TEST_F(BoardEmulatorTest, AStalledChannelPushesBackUntilItDrainsAgain)
{
    Fd watchdog = Device::open("/dev/misc/gw-wd", O_WRONLY | O_NONBLOCK);
    ASSERT_TRUE(watchdog);
    board.set_draining("/dev/misc/gw-wd", false);
    board.clear_journal();

    size_t written = 0;
    while (write(watchdog, "PING", 4) == 4)
        ASSERT_LT(++written, 100000u);
    EXPECT_EQ(errno, EAGAIN);
    EXPECT_GT(written, 0u);
    EXPECT_TRUE(board.journal().empty());

    board.set_draining("/dev/misc/gw-wd", true);
    EXPECT_EQ(board.journal().size(), written);
    EXPECT_EQ(write(watchdog, "PING", 4), 4);
    watchdog.close();
}

TEST_F(BoardEmulatorTest, EndOfFileFollowsThePushedRecords)
{
    Fd hal = Device::open("/dev/hal", O_RDWR);
    ASSERT_TRUE(hal);
    board.push("/dev/hal", {0xAB});
    board.end_of_file("/dev/hal");
    uint8_t buffer[8];
    EXPECT_EQ(read(hal, buffer, sizeof buffer), 1);
    EXPECT_EQ(read(hal, buffer, sizeof buffer), 0);
    // The driver is still there for requests.
    EXPECT_EQ(switch_write_byte(hal, 9000, 1), 0);
    hal.close();
}

TEST_F(BoardEmulatorTest, MalformedCommandsAreRefusedWithAReason)
{
    for (const char* line : {"", "frobnicate", "journal everything", "state /dev/nothing", "state /dev/hal 99999",
                             "set /dev/hal remote 9000 256", "push /dev/hal 123", "push /dev/hal 00",
                             "fail /dev/hal 0x80084D02 ENOTANERRNO", "script /dev/hal connect 0", "eof 42"})
        EXPECT_THROW(board.command(line), std::runtime_error) << line;
    EXPECT_NO_THROW(board.command("journal clear"));
    EXPECT_TRUE(board.journal().empty());
}

TEST_F(BoardEmulatorTest, EndsCleanlyOnSigterm)
{
    Fd hal = Device::open("/dev/hal", O_RDWR);
    ASSERT_TRUE(hal);
    int status = board.stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    struct stat gone;
    EXPECT_NE(stat((root / "/dev/board").c_str(), &gone), 0);
    EXPECT_NE(stat((root / "/dev/board-control").c_str(), &gone), 0);
    // The daemon's descriptor sees the board go.
    pollfd hangup{hal, POLLIN, 0};
    ASSERT_EQ(poll(&hangup, 1, 10000), 1);
    EXPECT_NE(hangup.revents & POLLHUP, 0);
    hal.close();
}

}  // namespace
