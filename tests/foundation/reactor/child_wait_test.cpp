#include "foundation/reactor/child_wait.h"

#include "foundation/reactor/child_wait_service.h"
#include "reactor_test_support.h"

#include <cstdio>
#include <map>
#include <memory>

#include <spawn.h>

extern char** environ;

namespace {

using testsupport::run_reactor_until;
// Ends of children, pid to wait status.
using Ends = std::multimap<int, int>;

pid_t spawn(const std::string& command)
{
    const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    return pid;
}

// A waiter that records what it is told.
struct Watch {
    ChildWait wait;
    Ends* reports;

    explicit Watch(Ends* into) : reports(into) { wait.Bind(this, &Watch::Ended); }
    void Ended(int status) { reports->emplace(wait.pid(), status); }
};

// The service is wired to SIGCHLD for each test and left as other tests in this process expect it.
class ChildWaitTest : public reactortest::ReactorTest {
protected:
    // The ends the log reports.
    Ends logged() const
    {
        Ends ends;
        std::istringstream in(clog_.text());
        int pid, status;
        for (std::string line; std::getline(in, line);)
            if (sscanf(line.c_str(), "terminate child process, pid=%d status=%d", &pid, &status) == 2)
                ends.emplace(pid, status);
        return ends;
    }

private:
    reactortest::CaptureStream clog_{std::clog};
    reactortest::ChildWaitScope service_;
};

TEST_F(ChildWaitTest, ChildrenEndingTogetherAreReapedInOnePassAndOnlyTheFirstWaiterIsTold)
{
    Ends reports;
    Watch first(&reports), second(&reports);
    ChildWait silent;
    const pid_t shared = spawn("exit 1"), unwatched = spawn("exit 2"), forgotten = spawn("exit 4"),
                quiet = spawn("exit 5");
    first.wait.Attach(shared);
    second.wait.Attach(shared);
    // Attaching again moves the waiter behind the other one.
    first.wait.Attach(shared);
    std::make_unique<Watch>(&reports)->wait.Attach(forgotten);
    silent.Attach(quiet);
    // All have ended before the reactor reaps them.
    siginfo_t info;
    for (pid_t pid : {shared, unwatched, forgotten, quiet})
        waitid(P_PID, pid, &info, WEXITED | WNOWAIT);

    const uint32_t passes_before = ChildWaitService::childWaitService->count();
    const Ends ends{{shared, 1 << 8}, {unwatched, 2 << 8}, {forgotten, 4 << 8}, {quiet, 5 << 8}};
    ASSERT_TRUE(run_reactor_until([&] { return logged() == ends; }));
    EXPECT_EQ(ChildWaitService::childWaitService->count() - passes_before, 1u);
    EXPECT_EQ(reports, (Ends{{shared, 1 << 8}}));
    EXPECT_FALSE(second.wait.linked());
    EXPECT_TRUE(first.wait.linked());
    EXPECT_FALSE(silent.linked());
}

}  // namespace
