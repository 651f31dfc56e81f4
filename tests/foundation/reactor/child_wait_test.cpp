#include "foundation/reactor/child_wait.h"

#include "foundation/os/ipc_signal.h"
#include "foundation/reactor/child_wait_service.h"
#include "foundation/reactor/clock.h"
#include "foundation/reactor/multiplexer.h"
#include "foundation/reactor/timer.h"
#include "reactor_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace {

pid_t spawn(const char* command, posix_spawn_file_actions_t* actions = nullptr)
{
    char sh[] = "sh", dash_c[] = "-c";
    std::string text(command);
    char* argv[] = {sh, dash_c, text.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, "/bin/sh", actions, nullptr, argv, environ) != 0)
        return -1;
    return pid;
}

// Blocks until the child has ended, leaving it for the reactor to reap.
void wait_ended(pid_t pid)
{
    siginfo_t info;
    waitid(P_PID, pid, &info, WEXITED | WNOWAIT);
}

using Reports = std::vector<std::pair<int, int>>;

// A waiter that records (pid, status) and stops the reactor once enough reports came in.
struct Watch {
    ChildWait wait;
    Reports* reports;
    size_t stop_after;

    Watch(Reports* into, size_t stop_at) : reports(into), stop_after(stop_at) { wait.Bind(this, &Watch::Ended); }
    void Ended(int status)
    {
        reports->emplace_back(wait.pid(), status);
        if (reports->size() == stop_after)
            multiplexer.terminate();
    }
};

class ChildWaitTest : public reactortest::ReactorTest {
protected:
    void SetUp() override { ChildWait::Activate(); }
    void TearDown() override
    {
        // Leave the reactor and SIGCHLD as other tests in this process expect them.
        ChildWait::Cleanup();
        ChildWait::Initialize();
        IPC::Signal::system(SIGCHLD);
        while (waitpid(-1, nullptr, WNOHANG) > 0) {
        }
        reactortest::ReactorTest::TearDown();
    }

    // Runs the reactor for a fixed time, for tests whose children all ended before.
    void run_for(unsigned ms)
    {
        Timer end;
        end.set(ms, &Multiplexer::terminate, &multiplexer);
        run_guarded(ms + 20000);
    }

    // The report lines, in order.
    std::vector<std::string> logged() const
    {
        std::vector<std::string> lines;
        std::istringstream in(clog_.text());
        for (std::string line; std::getline(in, line);)
            if (line.rfind("terminate child process", 0) == 0)
                lines.push_back(line);
        return lines;
    }

    static std::string line(int pid, int status)
    {
        return "terminate child process, pid=" + std::to_string(pid) + " status=" + std::to_string(status);
    }

private:
    reactortest::CaptureStream clog_{std::clog};
};

TEST_F(ChildWaitTest, ChildrenEndingTogetherAreReportedInReapOrderInOneCallback)
{
    Reports reports;
    Watch three(&reports, 2), zero(&reports, 2);
    pid_t a = spawn("exit 3");
    ASSERT_GT(a, 0);
    three.wait.Attach(a);
    pid_t b = spawn("exit 0");
    ASSERT_GT(b, 0);
    zero.wait.Attach(b);
    wait_ended(a);
    wait_ended(b);

    uint32_t passes_before = ChildWaitService::childWaitService->count();
    run_guarded();
    EXPECT_EQ(ChildWaitService::childWaitService->count() - passes_before, 1u);

    ASSERT_EQ(reports.size(), 2u);
    std::vector<std::string> expected;
    for (const auto& [pid, status] : reports) {
        EXPECT_EQ(status, pid == a ? 768 : 0);
        expected.push_back(line(pid, status));
    }
    EXPECT_EQ(logged(), expected);
    EXPECT_FALSE(three.wait.linked());
    EXPECT_FALSE(zero.wait.linked());
}

TEST_F(ChildWaitTest, BurstOfChildrenIsReportedInFullWhileTimersKeepTime)
{
    constexpr size_t kChildren = 300;
    // Every child waits on one pipe and all end together once it closes.
    int gate[2];
    ASSERT_EQ(pipe2(gate, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, gate[0], STDIN_FILENO);

    Reports reports;
    std::vector<std::unique_ptr<Watch>> watches;
    for (size_t i = 0; i < kChildren; ++i) {
        pid_t pid = spawn("read line; exit 7", &actions);
        ASSERT_GT(pid, 0);
        watches.push_back(std::make_unique<Watch>(&reports, 0));
        watches.back()->wait.Attach(pid);
    }
    posix_spawn_file_actions_destroy(&actions);
    close(gate[0]);

    // The children end just before the timer is due; the loop ends once both are through.
    struct Scene {
        int gate;
        Reports* reports;
        uint32_t fired_at = 0;
        Timer check;
        void OpenGate() { close(gate); }
        void Fired() { fired_at = Mux::milliseconds(); }
        void Check()
        {
            if (fired_at && reports->size() == kChildren)
                multiplexer.terminate();
            else
                check.set(5, &Scene::Check, this);
        }
    } scene{gate[1], &reports, 0, {}};
    Timer open_gate, on_time;
    uint32_t start = Mux::milliseconds();
    open_gate.set(90, &Scene::OpenGate, &scene);
    on_time.set(100, &Scene::Fired, &scene);
    scene.check.set(5, &Scene::Check, &scene);
    run_guarded(30000);

    EXPECT_EQ(reports.size(), kChildren);
    EXPECT_EQ(logged().size(), kChildren);
    for (const auto& report : reports)
        EXPECT_EQ(report.second, 7 << 8);
    for (const auto& watch : watches)
        EXPECT_FALSE(watch->wait.linked());
    EXPECT_GE(int32_t(scene.fired_at - start), 100);
    EXPECT_LT(int32_t(scene.fired_at - start), 600);
}

TEST_F(ChildWaitTest, OnlyTheFirstWaiterIsToldAndOthersAreLoggedOnly)
{
    Reports reports;
    Watch first(&reports, 0), second(&reports, 0);
    ChildWait silent;
    pid_t shared = spawn("exit 1");
    first.wait.Attach(shared);
    second.wait.Attach(shared);
    // Attaching again moves the waiter behind the other one.
    first.wait.Attach(shared);
    pid_t unwatched = spawn("exit 2");
    pid_t forgotten = spawn("exit 4");
    std::make_unique<Watch>(&reports, 0)->wait.Attach(forgotten);
    pid_t quiet = spawn("exit 5");
    silent.Attach(quiet);
    for (pid_t pid : {shared, unwatched, forgotten, quiet})
        wait_ended(pid);

    run_for(300);
    EXPECT_EQ(reports, (Reports{{shared, 1 << 8}}));
    EXPECT_FALSE(second.wait.linked());
    EXPECT_TRUE(first.wait.linked());
    EXPECT_FALSE(silent.linked());
    std::vector<std::string> lines = logged();
    std::sort(lines.begin(), lines.end());
    std::vector<std::string> expected{line(shared, 256), line(unwatched, 512), line(forgotten, 1024),
                                      line(quiet, 1280)};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(lines, expected);
}

}  // namespace
