#include "foundation/os/linux_run.h"

#include "support/temp_root.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(LinuxRun, PidFileReplacesAStaleOneWhileTheGuardLives)
{
    // A stale file of a crashed run, longer than a pid.
    testsupport::TempRoot root;
    root.write_file("/var/run/server.pid", "stale content that is longer than a pid\n");
    const mode_t old_mask = umask(077);
    {
        Linux::Run guard("server");
        umask(old_mask);
        EXPECT_EQ(root.read_file("/var/run/server.pid"), std::to_string(getpid()));
        struct stat info;
        ASSERT_EQ(stat((root / "/var/run/server.pid").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0644u);
    }
    EXPECT_FALSE(std::filesystem::exists(root / "/var/run/server.pid"));
}

}  // namespace
