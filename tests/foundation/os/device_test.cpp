#include "foundation/os/device.h"
#include "foundation/os/big_endian.h"
#include "support/board_emulator.h"
#include "support/journal_requests.h"
#include "support/switch_requests.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>

namespace {

using testsupport::switch_read_byte;
using testsupport::switch_write_byte;
using Bytes = std::vector<uint8_t>;

// The bytes of the next record once one is readable (within wait_ms), or the negated errno.
Bytes next_record(int fd, int wait_ms = 10000)
{
    pollfd ready{fd, POLLIN, 0};
    poll(&ready, 1, wait_ms);
    uint8_t buffer[64];
    ssize_t n = read(fd, buffer, sizeof buffer);
    return n >= 0 ? Bytes(buffer, buffer + n) : Bytes{uint8_t(-errno)};
}

TEST(DeviceWithoutEmulator, OpenFailsWithENOENTAndRequestsAreIoctls)
{
    testsupport::TempRoot root;
    errno = 0;
    EXPECT_FALSE(Device::open("/dev/hal", O_RDWR));
    EXPECT_EQ(errno, ENOENT);
    Fd null(open("/dev/null", O_RDONLY | O_CLOEXEC));
    EXPECT_EQ(Device::request(null, 0x20004D02), -1);
    EXPECT_EQ(errno, ENOTTY);
    null.close();
    EXPECT_EQ(Device::request_value(-1, 0x80044300, 2), -1);
    EXPECT_EQ(errno, EBADF);
}

class DeviceWithEmulator : public ::testing::Test {
protected:
    // How many disables the emulated switch found their output disabled already.
    unsigned long repeated_disables() { return std::stoul(board.state("/dev/hal").back().substr(18)); }

    testsupport::TempRoot root;
    testsupport::BoardEmulator board{root};
};

TEST_F(DeviceWithEmulator, OpenAppliesTheCallersFlagsAndEachOpenGetsItsOwnWholeRecords)
{
    Fd first = Device::open("/dev/hal", O_RDWR | O_NONBLOCK);
    Fd second = Device::open("/dev/hal", O_RDWR | O_NONBLOCK);
    Fd watchdog = Device::open("/dev/misc/gw-wd", O_WRONLY);
    ASSERT_TRUE(first && second && watchdog) << strerror(errno);
    EXPECT_NE(fcntl(first, F_GETFD) & FD_CLOEXEC, 0);
    auto journal = board.journal();
    ASSERT_EQ(journal.size(), 3u);
    EXPECT_EQ(journal[0].device, "/dev/hal");
    EXPECT_EQ(journal[0].fields, "file=1 rdwr nonblock");
    EXPECT_EQ(journal[2].fields, "file=3 wronly");

    EXPECT_EQ(next_record(first, 0), Bytes{uint8_t(-EAGAIN)});
    board.push("1", {1, 2, 3, 4, 5});
    board.push("1", {6});
    board.push("2", {0xB2, 0xB2});
    EXPECT_EQ(next_record(second), (Bytes{0xB2, 0xB2}));
    EXPECT_EQ(next_record(first), (Bytes{1, 2, 3, 4, 5}));
    EXPECT_EQ(next_record(first), Bytes{6});
    EXPECT_EQ(next_record(first, 0), Bytes{uint8_t(-EAGAIN)});

    // Both opens drive the one switch.
    ASSERT_EQ(switch_write_byte(first, 100, 1), 0);
    EXPECT_EQ(switch_read_byte(second, 100), 1);
    for (Fd* fd : {&first, &second, &watchdog})
        fd->close();
}

TEST_F(DeviceWithEmulator, ADuplicateReachesTheSameDeviceAndOthersDescriptorsAreRefused)
{
    Fd hal = Device::open("/dev/hal", O_RDWR);
    ASSERT_TRUE(hal);
    Fd copy(hal.dup());
    ASSERT_EQ(switch_write_byte(hal, 9000, 0x5A), 0);
    hal.close();
    EXPECT_EQ(switch_read_byte(copy, 9000), 0x5A);

    // Requests on descriptors the device API did not open, even sockets like its own, name no
    // device and leave the journal alone.
    const size_t journaled = board.journal().size();
    int sockets[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sockets), 0);
    for (int fd : {-1, sockets[0]}) {
        errno = 0;
        EXPECT_EQ(switch_write_byte(fd, 9000, 1), -1) << fd;
        EXPECT_EQ(errno, EBADF) << fd;
    }
    EXPECT_EQ(board.journal().size(), journaled);
    close(sockets[0]);
    close(sockets[1]);

    // Closing the last duplicate closes the device.
    copy.close();
    EXPECT_EQ(board.journal().back().request, "close");
    EXPECT_EQ(board.journal().back().fields, "file=1");
}

TEST_F(DeviceWithEmulator, LosingTheEmulatorFailsWithEIOAndTheNextOpenFindsItsSuccessor)
{
    Fd hal = Device::open("/dev/hal", O_RDWR);
    ASSERT_TRUE(hal);
    ASSERT_EQ(switch_write_byte(hal, 9000, 1), 0);
    board.restart();
    errno = 0;
    EXPECT_EQ(switch_write_byte(hal, 9000, 2), -1);
    EXPECT_EQ(errno, EIO);
    hal.close();
    Fd again = Device::open("/dev/hal", O_RDWR);
    ASSERT_TRUE(again) << strerror(errno);
    EXPECT_EQ(switch_write_byte(again, 9000, 3), 0);
    EXPECT_EQ(switch_read_byte(again, 9000), 3);

    // An open over a link that outlived its emulator tries once more on a fresh one; posted
    // requests that cannot leave are dropped with the link, never sent to the next emulator.
    Device::post_in(again, testsupport::switch_connect, testsupport::switch_record(35, 69));
    board.restart();
    Device::flush_posted();
    again.close();
    Fd third = Device::open("/dev/hal", O_RDWR);
    ASSERT_TRUE(third) << strerror(errno);
    auto journal = board.journal();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].request, "open");
    third.close();
}

TEST_F(DeviceWithEmulator, AnotherRootGetsItsOwnLinkAndABoardSocketNobodyServesRefuses)
{
    Fd hal = Device::open("/dev/hal", O_RDWR);
    ASSERT_TRUE(hal);
    {
        testsupport::TempRoot other_root;
        testsupport::BoardEmulator other_board(other_root);
        Fd other = Device::open("/dev/hal", O_RDWR);
        ASSERT_TRUE(other);
        EXPECT_EQ(switch_write_byte(other, 9000, 7), 0);
        EXPECT_EQ(other_board.journal().back().request, "write");
        other.close();
    }
    hal.close();

    // The board socket of a root whose emulator died without removing it.
    testsupport::TempRoot stale;
    const std::string path = stale.prepare("/dev/board");
    int socket_fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(socket_fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(socket_fd);
    errno = 0;
    EXPECT_FALSE(Device::open("/dev/hal", O_RDWR));
    EXPECT_EQ(errno, ECONNREFUSED);
}

TEST_F(DeviceWithEmulator, PostedRequestsWaitAndReachTheEmulatorInOrderBeforeAnOrdinaryOneOrTheirDevicesClose)
{
    using testsupport::switch_connect;
    constexpr uint32_t disable = 0x80044D03;
    auto output = [](int32_t channel) {
        std::array<uint8_t, 4> record;
        BigEndian::put_i32(record.data(), 0, channel);
        return record;
    };
    Fd hal = Device::open("/dev/hal", O_RDWR);
    Fd watchdog = Device::open("/dev/misc/gw-wd", O_WRONLY);
    ASSERT_TRUE(hal && watchdog);
    ASSERT_EQ(switch_write_byte(hal, 9000, 1), 0);
    ASSERT_EQ(switch_write_byte(hal, 9001, 2), 0);
    board.clear_journal();
    const unsigned long repeats_before = repeated_disables();

    EXPECT_EQ(Device::posted_wait_ms(), -1);
    Device::post_in(hal, disable, output(9000));
    const int wait = Device::posted_wait_ms();
    EXPECT_TRUE(wait >= 0 && wait <= Device::max_posted_wait_ms) << wait;
    // 9002 is disabled already: counted, not journalled.
    std::array<uint8_t, 8> records;
    BigEndian::put_i32(records.data(), 0, 9002);
    BigEndian::put_i32(records.data(), 4, 9001);
    Device::post_each_in(hal, disable, records.data(), 4, 2);
    Device::post_in(hal, switch_connect, testsupport::switch_record(9003, 5));
    ASSERT_EQ(switch_write_byte(hal, 9004, 3), 0);
    EXPECT_EQ(Device::posted_wait_ms(), -1);
    EXPECT_EQ(testsupport::switch_requests(board),
              (std::vector<std::string>{"disable output=9000 -> 0", "disable output=9001 -> 0",
                                        "connect output=9003 source=5 -> 0", "write output=9004 value=3 -> 0"}));
    EXPECT_EQ(repeated_disables(), repeats_before + 1);

    // Left waiting past their bound (the reactor would send them), they wait through the close of
    // another device but are served before their own device closes.
    board.clear_journal();
    Device::post_in(hal, disable, output(9003));
    std::this_thread::sleep_for(std::chrono::milliseconds(Device::max_posted_wait_ms + 1));
    EXPECT_EQ(Device::posted_wait_ms(), 0);
    watchdog.close();
    EXPECT_EQ(Device::posted_wait_ms(), 0);
    Device::post_in(hal, disable, output(9004));
    hal.close();
    EXPECT_EQ(Device::posted_wait_ms(), -1);
    std::vector<std::string> seen;
    for (const auto& entry : board.journal())
        seen.push_back(entry.device + ' ' + entry.request + ' ' + entry.fields);
    EXPECT_EQ(seen, (std::vector<std::string>{"/dev/misc/gw-wd close file=2", "/dev/hal disable output=9003",
                                              "/dev/hal disable output=9004", "/dev/hal close file=1"}));
}

TEST_F(DeviceWithEmulator, ACountedPostReachesTheEmulatorAsEachOfItsRequests)
{
    Fd hal = Device::open("/dev/hal", O_RDWR);
    ASSERT_TRUE(hal);
    ASSERT_EQ(switch_write_byte(hal, 9003, 1), 0);
    ASSERT_EQ(switch_write_byte(hal, 9004, 2), 0);
    board.clear_journal();
    const unsigned long repeats_before = repeated_disables();
    std::array<uint8_t, 4> first;
    BigEndian::put_i32(first.data(), 0, 9002);
    Device::post_counting_in(hal, 0x80044D03, first.data(), first.size(), 4);
    ASSERT_EQ(switch_write_byte(hal, 9006, 3), 0);
    EXPECT_EQ(testsupport::switch_requests(board),
              (std::vector<std::string>{"disable output=9003 -> 0", "disable output=9004 -> 0",
                                        "write output=9006 value=3 -> 0"}));
    EXPECT_EQ(repeated_disables(), repeats_before + 2);
}

TEST_F(DeviceWithEmulator, ConcurrentProcessesEachGetTheirOwnAnswers)
{
    // Each process drives its own channels and reads them back at once; a reply that went to the
    // wrong process would show as a wrong byte.
    auto exercise = [](int first_channel) {
        Fd hal = Device::open("/dev/hal", O_RDWR);
        for (int i = 0; hal && i < 2000; ++i) {
            const int channel = first_channel + i % 50;
            if (switch_write_byte(hal, channel, uint8_t(i * 7)) != 0 || switch_read_byte(hal, channel) != uint8_t(i * 7))
                return false;
        }
        return hal.close() == 0;
    };
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(exercise(1000) ? 0 : 1);
    EXPECT_TRUE(exercise(2000));
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
