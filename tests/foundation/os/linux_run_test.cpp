#include "foundation/os/linux_run.h"

#include "support/temp_root.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(LinuxRun, PidFileHoldsTheDigitsWhileTheGuardLives)
{
    testsupport::TempRoot root;
    const std::string pid_file = "/var/run/server.pid";
    root.write_file(pid_file, "stale content that is longer than a pid\n");
    mode_t old_mask = umask(077);
    {
        Linux::Run first("server");
        umask(old_mask);
        EXPECT_EQ(root.read_file(pid_file), std::to_string(getpid()));
        struct stat info;
        ASSERT_EQ(stat((root / pid_file).c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0644u);
        {
            Linux::Run second("server");
            EXPECT_EQ(root.read_file(pid_file), std::to_string(getpid()));
        }
        EXPECT_FALSE(std::filesystem::exists(root / pid_file));
    }
    // A guard without a file removes nothing.
    root.write_file("/var/run/other", "");
    {
        Linux::Run inert("missing/server");
    }
    EXPECT_TRUE(std::filesystem::exists(root / "/var/run/other"));
}

}  // namespace
