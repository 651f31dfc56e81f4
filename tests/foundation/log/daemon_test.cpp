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

bool ends_with(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST(Daemon, SystemLogModeSendsStreamsAndRawWritesToTheLogSocket)
{
    testsupport::TempRoot root;
    logtest::LogSocket socket(root);
    Daemon::Params params;
    params.name = std::string("tvr-") + Version::current.text;
    int status = run_daemon(params, [] {
        std::cerr << "cwd=" << working_directory() << std::endl;
        std::cout << "out" << std::endl;
        std::clog << "dbg" << std::endl;
        pid_t child = fork();
        if (child == 0) {
            ssize_t written = write(1, "raw\n", 4);
            _exit(written == 4 ? 0 : 1);
        }
        waitpid(child, nullptr, 0);
    });
    EXPECT_EQ(status, 0);

    const std::string ident = std::string(" tvr-") + Version::current.text + ": ";
    std::vector<std::string> err = socket.messages();
    ASSERT_EQ(err.size(), 1u);
    EXPECT_EQ(err[0].substr(0, 4), "<27>");
    EXPECT_TRUE(ends_with(err[0], ident + "cwd=/")) << err[0];
    std::vector<std::string> out = socket.messages();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].substr(0, 4), "<29>");
    EXPECT_TRUE(ends_with(out[0], ident + "out")) << out[0];
    std::vector<std::string> dbg = socket.messages();
    ASSERT_EQ(dbg.size(), 1u);
    EXPECT_EQ(dbg[0].substr(0, 4), "<31>");
    EXPECT_TRUE(ends_with(dbg[0], ident + "dbg")) << dbg[0];
    EXPECT_EQ(socket.receive(), "raw\n");
}

TEST(Daemon, LogFileModeSendsAllStreamsToTheHourlyFile)
{
    testsupport::TempRoot root;
    Daemon::Params params;
    params.mode = Daemon::log_files;
    params.name = root.path();
    int status = run_daemon(params, [] {
        std::cout << "out" << std::endl;
        std::clog << "cwd=" << working_directory() << std::endl;
    });
    EXPECT_EQ(status, 0);

    // The daemon is not our child: wait for its line to show up.
    std::string logged;
    for (int i = 0; i < 1000 && logged.find("cwd=/\n") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        logged.clear();
        for (const auto& entry : std::filesystem::directory_iterator(root.path())) {
            std::ifstream in(entry.path());
            std::ostringstream content;
            content << in.rdbuf();
            logged += content.str();
        }
    }
    EXPECT_NE(logged.find(": out\n"), std::string::npos) << logged;
    EXPECT_NE(logged.find(": cwd=/\n"), std::string::npos) << logged;
}

}  // namespace
