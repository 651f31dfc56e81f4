// The board emulator's own rules, which every hardware and system test leans on: injected faults and
// scripted answers hit exactly the requests named, requests a driver would not take are refused as
// the driver refuses them, and a malformed control command is refused with a reason.

#include "support/board_emulator.h"
#include "support/switch_requests.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <stdexcept>

namespace {

using namespace testsupport;

class BoardEmulatorTest : public ::testing::Test {
protected:
    TempRoot root;
    BoardEmulator board{root};
};

TEST_F(BoardEmulatorTest, InjectedFaultsAndScriptedAnswersHitExactlyTheNamedRequestsInOrder)
{
    Fd hal = Device::open("/dev/hal", O_RDWR);
    Fd watchdog = Device::open("/dev/misc/gw-wd", O_WRONLY);
    ASSERT_TRUE(hal && watchdog);
    board.fail("/dev/hal", switch_connect, ENODEV);
    board.fail("/dev/hal", switch_write, EIO, 2);

    // The same code on another device, and another code on this one, are untouched.
    errno = 0;
    EXPECT_EQ(Device::request_in(watchdog, switch_connect, switch_record(35, 69)), -1);
    EXPECT_EQ(errno, ENOTTY);
    EXPECT_NE(switch_read_byte(hal, 35), -1);
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

    // Scripted answers come in order, their record filled in, then the model answers again.
    board.command("script /dev/hal 0xC0084D05 7 0000232800000042");
    board.command("script /dev/hal 0xC0084D05 0");
    std::array<uint8_t, 8> record = switch_record(1, 255);
    EXPECT_EQ(Device::request_inout(hal, switch_read, record), 7);
    EXPECT_EQ(record, switch_record(9000, 0x42));
    EXPECT_EQ(board.journal().back().result, "7 scripted");
    record = switch_record(1, 255);
    EXPECT_EQ(Device::request_inout(hal, switch_read, record), 0);
    EXPECT_EQ(record, switch_record(1, 255));
    EXPECT_EQ(switch_read_byte(hal, 36), 1);

    // An absent device fails to open until it is back; so does one the board never had.
    board.set_absent("/dev/misc/gw-wd", true);
    errno = 0;
    EXPECT_FALSE(Device::open("/dev/misc/gw-wd", O_WRONLY));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(Device::open("/dev/no-such-device", O_RDWR));
    EXPECT_EQ(errno, ENOENT);
    board.set_absent("/dev/misc/gw-wd", false);
    Fd back = Device::open("/dev/misc/gw-wd", O_WRONLY);
    EXPECT_TRUE(back);
    for (Fd* fd : {&hal, &watchdog, &back})
        fd->close();
}

TEST_F(BoardEmulatorTest, RequestsTheDriverWouldNotTakeAreRefusedAndJournalledAsSent)
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
    errno = 0;
    EXPECT_EQ(Device::request_in(hal, switch_connect, short_record), -1);
    EXPECT_EQ(errno, EFAULT);
    EXPECT_EQ(board.journal().back().fields, "record=00000023");
    hal.close();
}

TEST_F(BoardEmulatorTest, MalformedCommandsAreRefusedWithAReason)
{
    Fd hal = Device::open("/dev/hal", O_RDWR);
    ASSERT_TRUE(hal);
    for (const char* line :
         {"", "frobnicate", "journal everything", "state", "state /dev/nothing", "state /dev/hal 99999", "set /dev/hal",
          "set /dev/nothing remote 1 2", "set /dev/hal remote 9000 256", "push /dev/hal 123", "push /dev/nothing 00",
          "fail /dev/hal 0x80084D02 ENOTANERRNO", "fail /dev/hal 0x80084D02 EIO -1", "fail /dev/nothing 1 EIO",
          "script /dev/hal connect 0", "script /dev/hal 1 -1", "script /dev/hal 1 0 XY", "script /dev/nothing 1 0",
          "absent", "absent /dev/nothing", "stall", "drain /dev/nothing", "eof", "eof 42"})
        EXPECT_THROW(board.command(line), std::runtime_error) << line;
    EXPECT_NO_THROW(board.command("journal clear"));
    EXPECT_TRUE(board.journal().empty());
    hal.close();
}

}  // namespace
