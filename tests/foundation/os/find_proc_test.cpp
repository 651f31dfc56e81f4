#include "foundation/os/find_proc.h"

#include "support/temp_root.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

TEST(FindProc, FindsAProcessByItsWholeCaseSensitiveName)
{
    // "sleep 30" started under a name with parentheses, unique per test process and at most 15
    // characters (the kernel's command-name length).
    testsupport::TempRoot root;
    const std::string name = "h5 (x)" + std::to_string(getpid() % 1000000);
    const std::string program = root.path() + "/" + name;
    std::filesystem::create_symlink(std::filesystem::canonical("/bin/sleep"), program);
    char arg0[] = "sleep", arg1[] = "30";
    char* argv[] = {arg0, arg1, nullptr};
    pid_t sleeper = -1;
    // posix_spawn returns once the new program runs.
    ASSERT_EQ(posix_spawn(&sleeper, program.c_str(), nullptr, nullptr, argv, environ), 0);

    // With its own pid as the hint, and without a usable hint (the whole table is scanned).
    for (pid_t hint : {sleeper, pid_t(0), getpid()})
        EXPECT_EQ(find_proc_by_name(name.c_str(), hint), sleeper) << hint;
    EXPECT_EQ(find_proc_by_name(name.substr(0, name.size() - 1).c_str(), sleeper), -1);
    EXPECT_EQ(find_proc_by_name(("H5" + name.substr(2)).c_str(), 0), -1);
    kill(sleeper, SIGKILL);
    waitpid(sleeper, nullptr, 0);
    EXPECT_EQ(find_proc_by_name(name.c_str(), sleeper), -1);
}

}  // namespace
