#include "foundation/os/device.h"
#include "foundation/os/fd.h"
#include "foundation/os/fixed_path.h"
#include "support/temp_root.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

TEST(Fd, EmptyDescriptorRefusesCloseAndDup)
{
    Fd empty;
    EXPECT_FALSE(empty);
    errno = 0;
    EXPECT_EQ(empty.close(), -1);
    EXPECT_EQ(errno, EBADF);
    EXPECT_EQ(empty.dup(), -1);
    EXPECT_FALSE(empty.NonBlock());
}

TEST(Fd, DupIsCloseOnExecAndCloseEmpties)
{
    int pair[2];
    ASSERT_EQ(pipe(pair), 0);
    Fd read_end(pair[0]);
    EXPECT_TRUE(read_end);
    EXPECT_EQ(fcntl(pair[0], F_GETFD) & FD_CLOEXEC, 0);
    Fd copy(read_end.dup());
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get(), read_end.get());
    EXPECT_NE(fcntl(copy, F_GETFD) & FD_CLOEXEC, 0);

    EXPECT_EQ(copy.close(), 0);
    EXPECT_EQ(copy.get(), -1);
    errno = 0;
    EXPECT_EQ(copy.close(), -1);
    EXPECT_EQ(errno, EBADF);
    read_end.close();
    close(pair[1]);
}

TEST(Fd, FlagHelpersChangeOnlyTheirOwnFlag)
{
    int pair[2];
    ASSERT_EQ(pipe(pair), 0);
    ASSERT_TRUE(Fd(pair[0]).NonBlock());
    EXPECT_NE(fcntl(pair[0], F_GETFL) & O_NONBLOCK, 0);
    ASSERT_TRUE(BlockMode(pair[0]));
    EXPECT_EQ(fcntl(pair[0], F_GETFL) & O_NONBLOCK, 0);
    SetCloexec(pair[0], true);
    EXPECT_NE(fcntl(pair[0], F_GETFD) & FD_CLOEXEC, 0);
    SetCloexec(pair[0], false);
    EXPECT_EQ(fcntl(pair[0], F_GETFD) & FD_CLOEXEC, 0);
    EXPECT_FALSE(NonBlockMode(-1));
    close(pair[0]);
    close(pair[1]);
}

TEST(FixedPath, ResolvesUnderTheRootOnlyWhenOneIsSet)
{
    unsetenv("TOVRASEL_ROOT");
    EXPECT_EQ(fixed_path("/dev/hal"), "/dev/hal");
    testsupport::TempRoot root;
    EXPECT_EQ(fixed_path("/dev/hal"), root.path() + "/dev/hal");
}

TEST(Device, OpensTheDeviceUnderTheRoot)
{
    testsupport::TempRoot root;
    errno = 0;
    Fd missing = Device::open("/dev/misc/gw-wd", O_WRONLY);
    EXPECT_FALSE(missing);
    EXPECT_EQ(errno, ENOENT);

    root.write_file("/dev/misc/gw-wd", "");
    Fd device = Device::open("/dev/misc/gw-wd", O_WRONLY);
    ASSERT_TRUE(device);
    EXPECT_NE(fcntl(device, F_GETFD) & FD_CLOEXEC, 0);
    ASSERT_EQ(write(device, "START", 5), 5);
    device.close();
    EXPECT_EQ(root.read_file("/dev/misc/gw-wd"), "START");
}

}  // namespace
