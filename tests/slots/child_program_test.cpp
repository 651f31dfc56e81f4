// A child program's start as the slots use it: a step in the child before the exec, a line when
// the exec fails, the end of a program that never ran, and the signals a program starts with.

#include "slots/circuit/child_program.h"

#include "support/temp_root.h"
#include "../foundation/reactor/reactor_test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

struct End {
    void on_end(int exit_status) { status = exit_status; }
    int status = -1;
};

class ChildProgramTest : public ::testing::Test {
protected:
    reactortest::ChildWaitScope service;
    // A shell script at the fixed path.
    void install(const std::string& program, const std::string& script)
    {
        root.write_file(program, "#!/bin/sh\n" + script + "\n");
        std::filesystem::permissions(root / program, std::filesystem::perms::owner_all);
    }
    bool ended() { return testsupport::run_reactor_until([&] { return end.status != -1; }); }

    testsupport::TempRoot root;
    End end;
    ChildProgram child;
};

TEST_F(ChildProgramTest, AProgramThatCannotRunEndsWithStatusTwoAfterTheChildsOwnStepsAndSaysWhy)
{
    child.Bind(&end, &End::on_end);
    int out = open((root / "/out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GT(child.Start("/usr/local/bin/fax", {"-m", "2"}, [out] { dup2(out, STDOUT_FILENO); }, "fail to exec!"), 0);
    close(out);
    EXPECT_TRUE(ended());
    EXPECT_EQ(end.status, 2 << 8);
    EXPECT_EQ(child.exec_error(), ENOENT);
    EXPECT_EQ(root.read_file("/out"), "fail to exec!\n");
}

void on_hang_up(int) {}

// The daemon's signal set-up while it lives: SIGHUP caught, SIGUSR1 blocked.
struct DaemonSignals {
    DaemonSignals()
    {
        struct sigaction hang_up {};
        hang_up.sa_handler = on_hang_up;
        hang_up.sa_flags = SA_RESTART;
        sigaction(SIGHUP, &hang_up, &oldHangUp);
        sigset_t usr1;
        sigemptyset(&usr1);
        sigaddset(&usr1, SIGUSR1);
        sigprocmask(SIG_BLOCK, &usr1, &oldMask);
    }
    ~DaemonSignals()
    {
        sigprocmask(SIG_SETMASK, &oldMask, nullptr);
        sigaction(SIGHUP, &oldHangUp, nullptr);
    }
    struct sigaction oldHangUp;
    sigset_t oldMask;
};

TEST_F(ChildProgramTest, AHangUpBeforeTheExecEndsTheProgramAndTheDaemonsMaskIsKept)
{
    // The program gets neither the daemon's handler nor anything more blocked than the daemon.
    DaemonSignals daemon;

    // The child stops before its exec until the hang-up has been sent.
    int ready[2], go[2];
    ASSERT_EQ(pipe2(ready, O_CLOEXEC), 0);
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, go), 0);
    install("/usr/local/sbin/pppd", "exec sleep 30");
    child.Bind(&end, &End::on_end);
    int pid = child.Start("/usr/local/sbin/pppd", {}, [&] {
        char byte = 0;
        if (write(ready[1], &byte, 1) == 1)
            (void)!read(go[0], &byte, 1);
    });
    ASSERT_GT(pid, 0);
    close(ready[1]);
    close(go[0]);
    pollfd in{ready[0], POLLIN, 0};
    char byte;
    ASSERT_EQ(poll(&in, 1, 10000), 1);
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    kill(pid, SIGHUP);
    // Ended by it, the child may read no more.
    send(go[1], &byte, 1, MSG_NOSIGNAL);
    close(ready[0]);
    close(go[1]);
    bool hung_up = testsupport::run_reactor_until([&] { return end.status != -1; });
    if (!hung_up) {
        kill(pid, SIGKILL);
        ended();
    }
    EXPECT_TRUE(hung_up);
    EXPECT_TRUE(WIFSIGNALED(end.status) && WTERMSIG(end.status) == SIGHUP) << end.status;

    // Its mask is the daemon's.
    end.status = -1;
    install("/usr/local/sbin/pppd", "exec grep SigBlk /proc/self/status > \"$TOVRASEL_ROOT/mask\"");
    ASSERT_GT(child.Start("/usr/local/sbin/pppd", {}), 0);
    EXPECT_TRUE(ended());
    std::string own = testsupport::file_text("/proc/self/status");
    size_t at = own.find("SigBlk:");
    EXPECT_EQ(root.read_file("/mask"), own.substr(at, own.find('\n', at) + 1 - at));
}

}  // namespace
