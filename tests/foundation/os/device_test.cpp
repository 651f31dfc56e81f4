#include "foundation/os/device.h"
#include "support/board_emulator.h"
#include "support/switch_requests.h"
#include "support/temp_root.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using testsupport::switch_read_byte;
using testsupport::switch_write_byte;
using Bytes = std::vector<uint8_t>;

bool readable(int fd, int timeout_ms)
{
    pollfd ready{fd, POLLIN, 0};
    return poll(&ready, 1, timeout_ms) == 1 && (ready.revents & POLLIN);
}

// The bytes of the next record, or the negated errno.
Bytes next_record(int fd)
{
    uint8_t buffer[64];
    ssize_t n = read(fd, buffer, sizeof buffer);
    return n >= 0 ? Bytes(buffer, buffer + n) : Bytes{uint8_t(-errno)};
}

TEST(DeviceWithoutEmulator, OpenFailsWithENOENTAndRequestsAreIoctls)
{
    unsetenv("TOVRASEL_ROOT");
    errno = 0;
    EXPECT_FALSE(Device::open("/dev/hal", O_RDWR));
    EXPECT_EQ(errno, ENOENT);

    testsupport::TempRoot root;
    errno = 0;
    EXPECT_FALSE(Device::open("/dev/hal", O_RDWR));
    EXPECT_EQ(errno, ENOENT);
    int pipe_ends[2];
    ASSERT_EQ(pipe(pipe_ends), 0);
    EXPECT_EQ(Device::request(pipe_ends[0], 0x20004D02), -1);
    EXPECT_EQ(errno, ENOTTY);
    EXPECT_EQ(Device::request_value(-1, 0x80044300, 2), -1);
    EXPECT_EQ(errno, EBADF);
    close(pipe_ends[0]);
    close(pipe_ends[1]);
}

class DeviceWithEmulator : public ::testing::Test {
protected:
    testsupport::TempRoot root;
    testsupport::BoardEmulator board{root};
};

TEST_F(DeviceWithEmulator, OpenAppliesTheCallersFlagsAndPushedRecordsReadWhole)
{
    Fd hal = Device::open("/dev/hal", O_RDWR | O_NONBLOCK);
    ASSERT_TRUE(hal) << strerror(errno);
    EXPECT_NE(fcntl(hal, F_GETFD) & FD_CLOEXEC, 0);
    Fd watchdog = Device::open("/dev/misc/gw-wd", O_WRONLY);
    ASSERT_TRUE(watchdog);
    auto journal = board.journal();
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[0].device, "/dev/hal");
    EXPECT_EQ(journal[0].fields, "file=1 rdwr nonblock");
    EXPECT_EQ(journal[1].fields, "file=2 wronly");

    EXPECT_FALSE(readable(hal, 0));
    board.push("/dev/hal", {1, 2, 3, 4, 5});
    board.push("/dev/hal", {6});
    ASSERT_TRUE(readable(hal, 10000));
    EXPECT_EQ(next_record(hal), (Bytes{1, 2, 3, 4, 5}));
    EXPECT_EQ(next_record(hal), Bytes{6});
    EXPECT_EQ(next_record(hal), Bytes{uint8_t(-EAGAIN)});
    hal.close();
    watchdog.close();
}

TEST_F(DeviceWithEmulator, ADuplicateReachesTheSameDeviceWhichClosesWithTheLastOne)
{
    Fd hal = Device::open("/dev/hal", O_RDWR);
    ASSERT_TRUE(hal);
    Fd copy(hal.dup());
    ASSERT_TRUE(copy);

    ASSERT_EQ(switch_write_byte(hal, 9000, 0x5A), 0);
    EXPECT_EQ(switch_read_byte(copy, 9000), 0x5A);
    hal.close();
    EXPECT_EQ(switch_read_byte(copy, 9000), 0x5A);
    EXPECT_EQ(board.journal().back().request, "read");

    copy.close();
    auto last = board.journal().back();
    EXPECT_EQ(last.request, "close");
    EXPECT_EQ(last.fields, "file=1");
}

TEST_F(DeviceWithEmulator, RequestsOnDescriptorsItDidNotOpenFailWithEBADF)
{
    Fd hal = Device::open("/dev/hal", O_RDWR);
    ASSERT_TRUE(hal);
    int pipe_ends[2], sockets[2];
    ASSERT_EQ(pipe(pipe_ends), 0);
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET, 0, sockets), 0);

    for (int fd : {-1, pipe_ends[0], sockets[0]}) {
        errno = 0;
        EXPECT_EQ(switch_write_byte(fd, 9000, 1), -1) << fd;
        EXPECT_EQ(errno, EBADF) << fd;
    }
    EXPECT_EQ(Device::request(sockets[1], 0x20004D02), -1);
    EXPECT_EQ(errno, EBADF);
    // Refused requests name no device and leave the journal alone.
    EXPECT_EQ(board.journal().size(), 1u);
    for (int fd : {pipe_ends[0], pipe_ends[1], sockets[0], sockets[1]})
        close(fd);
    hal.close();
}

TEST_F(DeviceWithEmulator, TwoOpensOfOneDeviceAndTwoDevicesKeepTheirRecordsApart)
{
    Fd first = Device::open("/dev/hal", O_RDWR | O_NONBLOCK);
    Fd second = Device::open("/dev/hal", O_RDWR | O_NONBLOCK);
    Fd watchdog = Device::open("/dev/misc/gw-wd", O_WRONLY | O_NONBLOCK);
    ASSERT_TRUE(first && second && watchdog);

    board.push("1", {0xA1});
    board.push("2", {0xB2, 0xB2});
    board.push("/dev/misc/gw-wd", {0x77});
    ASSERT_TRUE(readable(watchdog, 10000));
    ASSERT_TRUE(readable(first, 10000));
    ASSERT_TRUE(readable(second, 10000));
    EXPECT_EQ(next_record(second), (Bytes{0xB2, 0xB2}));
    EXPECT_EQ(next_record(first), Bytes{0xA1});
    EXPECT_EQ(next_record(watchdog), Bytes{0x77});
    board.clear_journal();

    ASSERT_EQ(write(first, "x", 1), 1);
    ASSERT_EQ(write(second, "yy", 2), 2);
    // Both opens drive the one switch; the watchdog answers the same code in its own way.
    ASSERT_EQ(switch_write_byte(first, 100, 1), 0);
    ASSERT_EQ(switch_write_byte(second, 101, 2), 0);
    EXPECT_EQ(switch_read_byte(second, 100), 1);
    EXPECT_EQ(switch_read_byte(first, 101), 2);
    EXPECT_EQ(switch_write_byte(watchdog, 9001, 7), -1);
    EXPECT_EQ(errno, ENOTTY);

    auto journal = board.journal();
    ASSERT_EQ(journal.size(), 7u);
    EXPECT_EQ(journal[0].request, "write");
    EXPECT_EQ(journal[0].fields, "file=1 record=78");
    EXPECT_EQ(journal[1].fields, "file=2 record=7979");
    EXPECT_EQ(journal[2].device, "/dev/hal");
    EXPECT_EQ(journal[6].device, "/dev/misc/gw-wd");
    EXPECT_EQ(journal[6].request, "request");
    EXPECT_EQ(journal[6].result, "-1 ENOTTY");
    first.close();
    second.close();
    watchdog.close();
}

TEST_F(DeviceWithEmulator, ConcurrentProcessesEachGetTheirOwnAnswers)
{
    Fd parent_hal = Device::open("/dev/hal", O_RDWR);
    ASSERT_TRUE(parent_hal);

    // Each process drives its own channels and reads them back at once; a reply that went to the
    // wrong process would show as a wrong byte.
    auto exercise = [](int fd, int first_channel) {
        for (int i = 0; i < 2000; ++i) {
            uint8_t value = static_cast<uint8_t>(i * 7);
            int channel = first_channel + i % 50;
            if (switch_write_byte(fd, channel, value) != 0 || switch_read_byte(fd, channel) != value)
                return false;
        }
        return true;
    };
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        Fd child_hal = Device::open("/dev/hal", O_RDWR);
        _exit(child_hal && exercise(child_hal, 1000) ? 0 : 1);
    }
    EXPECT_TRUE(exercise(parent_hal, 2000));
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    parent_hal.close();
}

}  // namespace
