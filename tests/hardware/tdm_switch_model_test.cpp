#include "support/board_emulator.h"
#include "support/switch_requests.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

using namespace testsupport;

class TdmSwitchModel : public ::testing::Test {
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

TEST_F(TdmSwitchModel, ReadsBackTheConstantWrittenToAChannel)
{
    ASSERT_EQ(switch_write_byte(hal, 9000, 0x5A), 0);
    EXPECT_EQ(switch_read_byte(hal, 9000), 0x5A);
    EXPECT_EQ(board.state("/dev/hal"), (std::vector<std::string>{"output=9000 constant=90", "repeated-disables=0"}));

    auto journal = board.journal();
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[0].request, "write");
    EXPECT_EQ(journal[0].fields, "output=9000 value=90");
    EXPECT_EQ(journal[0].result, "0");
    EXPECT_EQ(journal[1].request, "read");
    EXPECT_EQ(journal[1].fields, "channel=9000 value=255");
    EXPECT_EQ(journal[1].result, "0 byte=90");
}

TEST_F(TdmSwitchModel, ConnectionsShowInTheStateQuery)
{
    ASSERT_EQ(switch_connect_output(hal, 35, 69), 0);
    EXPECT_EQ(board.state("/dev/hal", "35"), (std::vector<std::string>{"output=35 source=69 repeats=0"}));
    EXPECT_EQ(board.state("/dev/hal").front(), "output=35 source=69");
    EXPECT_EQ(board.journal().back().fields, "output=35 source=69");

    ASSERT_EQ(switch_disable_output(hal, 35), 0);
    EXPECT_EQ(board.state("/dev/hal", "35"), (std::vector<std::string>{"output=35 disabled repeats=0"}));
}

TEST_F(TdmSwitchModel, ReadBackPrefersTheRemoteByteThenWhatTheSwitchDrives)
{
    EXPECT_EQ(switch_read_byte(hal, 8300), 0xFF);  // floating

    ASSERT_EQ(switch_write_byte(hal, 8300, 0x11), 0);
    board.set("/dev/hal", "remote 8300 0x22");
    EXPECT_EQ(switch_read_byte(hal, 8300), 0x22);
    board.set("/dev/hal", "remote 8300 none");
    EXPECT_EQ(switch_read_byte(hal, 8300), 0x11);

    // An output driven from a source carries what is seen on the source.
    board.set("/dev/hal", "remote 40 0x33");
    ASSERT_EQ(switch_connect_output(hal, 8301, 40), 0);
    EXPECT_EQ(switch_read_byte(hal, 8301), 0x33);
    ASSERT_EQ(switch_connect_output(hal, 8302, 8300), 0);
    EXPECT_EQ(switch_read_byte(hal, 8302), 0x11);

    // Connections in a ring with nothing driving them float.
    ASSERT_EQ(switch_connect_output(hal, 8303, 8304), 0);
    ASSERT_EQ(switch_connect_output(hal, 8304, 8303), 0);
    EXPECT_EQ(switch_read_byte(hal, 8303), 0xFF);
}

TEST_F(TdmSwitchModel, RefusesChannelsAndBytesOutsideItsRange)
{
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
    EXPECT_EQ(board.state("/dev/hal"), (std::vector<std::string>{"repeated-disables=0"}));
}

TEST_F(TdmSwitchModel, RepeatedDisablesAreCountedPerOutputNotJournalled)
{
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(switch_disable_output(hal, 8200), 0);
    ASSERT_EQ(switch_disable_output(hal, 8201), 0);
    EXPECT_TRUE(board.journal().empty());
    EXPECT_EQ(board.state("/dev/hal", "8200"), (std::vector<std::string>{"output=8200 disabled repeats=1000"}));
    EXPECT_EQ(board.state("/dev/hal").back(), "repeated-disables=1001");

    // Disabling an output that was driven changes the switch, so it is journalled.
    ASSERT_EQ(switch_connect_output(hal, 8200, 5), 0);
    ASSERT_EQ(switch_disable_output(hal, 8200), 0);
    auto journal = board.journal();
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[1].request, "disable");
    EXPECT_EQ(journal[1].fields, "output=8200");
    EXPECT_EQ(board.state("/dev/hal", "8200"), (std::vector<std::string>{"output=8200 disabled repeats=1000"}));
}

long resident_kib(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

TEST_F(TdmSwitchModel, MemoryStaysFlatUnderTheEndlessRefresh)
{
    // The daemon's refresh: every output of the backplane, over and over.
    auto sweep = [this](int requests) {
        for (int i = 0; i < requests; ++i)
            if (switch_disable_output(hal, 8192 + i % 2048) != 0)
                return false;
        return true;
    };
    ASSERT_TRUE(sweep(20000));
    long before = resident_kib(board.pid());
    ASSERT_TRUE(sweep(100000));
    long after = resident_kib(board.pid());
    ASSERT_GT(before, 0);
    EXPECT_LT(after - before, 256) << before << " KiB before, " << after << " KiB after";
    EXPECT_EQ(board.state("/dev/hal").back(), "repeated-disables=120000");
    EXPECT_TRUE(board.journal().empty());
}

}  // namespace
