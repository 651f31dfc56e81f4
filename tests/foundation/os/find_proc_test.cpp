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

// Runs "sleep 30" from the given program path, whose file name becomes the command name.
pid_t start_sleep(const std::string& program)
{
    char arg0[] = "sleep", arg1[] = "30";
    char* argv[] = {arg0, arg1, nullptr};
    pid_t pid = -1;
    // posix_spawn returns once the new program runs.
    return posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) == 0 ? pid : -1;
}

void stop(pid_t pid)
{
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

TEST(FindProc, FindsAStartedSleepByItsWholeCaseSensitiveName)
{
    pid_t sleeper = start_sleep("/bin/sleep");
    ASSERT_GT(sleeper, 0);
    EXPECT_EQ(find_proc_by_name("sleep", sleeper), sleeper);
    stop(sleeper);

    // A name with parentheses, unique per test process, at most 15 characters (the kernel's
    // command-name length); without a usable hint the whole table is scanned.
    testsupport::TempRoot root;
    std::string name = "h5 (x)" + std::to_string(getpid() % 1000000);
    std::string program = root.path() + "/" + name;
    std::filesystem::create_symlink(std::filesystem::canonical("/bin/sleep"), program);
    sleeper = start_sleep(program);
    ASSERT_GT(sleeper, 0);
    EXPECT_EQ(find_proc_by_name(name.c_str(), 0), sleeper);
    EXPECT_EQ(find_proc_by_name(name.c_str(), getpid()), sleeper);
    EXPECT_EQ(find_proc_by_name(name.substr(0, name.size() - 1).c_str(), sleeper), -1);
    EXPECT_EQ(find_proc_by_name(("H5" + name.substr(2)).c_str(), 0), -1);
    stop(sleeper);
    EXPECT_EQ(find_proc_by_name(name.c_str(), sleeper), -1);
}

}  // namespace
