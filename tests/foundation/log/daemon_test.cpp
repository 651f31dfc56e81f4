#include "foundation/log/daemon.h"
#include "foundation/log/version.h"
#include "log_socket.h"
#include "support/temp_root.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs the body in a daemon made from a child of the test, so that the test process itself
// never detaches. Returns the wait status of the child that detached (-1 when it hung).
int run_daemon(const Daemon::Params& params, void (*body)())
{
    std::cout.flush();
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        Daemon::Init(params);
        body();
        _exit(0);
    }
    int status = -1;
    for (int i = 0; i < 1000; ++i) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return status;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

std::string working_directory()
{
    char path[4096];
    return getcwd(path, sizeof path) ? path : "?";
}

TEST(Daemon, SystemLogModeSendsStreamsAndRawWritesToTheLogSocket)
{
    testsupport::TempRoot root;
    logtest::LogSocket socket(root);
    Daemon::Params params;
    params.name = std::string("tvr-") + Version::current.text;
    EXPECT_EQ(run_daemon(params, [] {
                  std::cerr << "cwd=" << working_directory() << std::endl;
                  std::cout << "out" << std::endl;
                  std::clog << "dbg" << std::endl;
                  pid_t child = fork();
                  if (child == 0)
                      _exit(write(1, "raw\n", 4) == 4 ? 0 : 1);
                  waitpid(child, nullptr, 0);
              }),
              0);

    const std::string ident = std::string(" tvr-") + Version::current.text + ": ";
    for (const char* expected : {"<27> cwd=/", "<29> out", "<31> dbg"}) {
        std::vector<std::string> got = socket.messages();
        ASSERT_EQ(got.size(), 1u);
        const std::string end = ident + (expected + 5);
        EXPECT_EQ(got[0].substr(0, 4), std::string(expected, 4));
        EXPECT_TRUE(got[0].size() >= end.size() && got[0].compare(got[0].size() - end.size(), end.size(), end) == 0)
            << got[0];
    }
    EXPECT_EQ(socket.receive(), "raw\n");
}

TEST(Daemon, LogFileModeSendsAllStreamsToTheHourlyFile)
{
    testsupport::TempRoot root;
    Daemon::Params params;
    params.mode = Daemon::log_files;
    params.name = root.path();
    EXPECT_EQ(run_daemon(params, [] {
                  std::cout << "out" << std::endl;
                  std::clog << "cwd=" << working_directory() << std::endl;
              }),
              0);

    // The daemon is not our child: wait for its line to show up.
    std::string logged;
    for (int i = 0; i < 1000 && logged.find("cwd=/\n") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        logged.clear();
        for (const auto& entry : std::filesystem::directory_iterator(root.path())) {
            std::ostringstream content;
            content << std::ifstream(entry.path()).rdbuf();
            logged += content.str();
        }
    }
    EXPECT_NE(logged.find(": out\n"), std::string::npos) << logged;
    EXPECT_NE(logged.find(": cwd=/\n"), std::string::npos) << logged;
}

}  // namespace
