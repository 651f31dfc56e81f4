// How signal actions are installed: the handler's kind sets SA_SIGINFO, the mask and the other
// flags are kept, and the interrupt switches change SA_RESTART alone.

#include "foundation/os/ipc_signal.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

volatile sig_atomic_t plain_calls = 0;
volatile sig_atomic_t info_signo = 0;

void plain_handler(int) { plain_calls = plain_calls + 1; }
void info_handler(int, siginfo_t* info, void*) { info_signo = info->si_signo; }

struct sigaction installed(int sig)
{
    struct sigaction action;
    sigaction(sig, nullptr, &action);
    return action;
}

TEST(IpcSignal, TheHandlerKindDecidesSiginfoMaskAndFlagsAreKeptAndSetsTakeValidNumbersOnly)
{
    ASSERT_EQ(IPC::Signal::handle(SIGUSR1, plain_handler, IPC::Signal::Set(SIGUSR2, SIGHUP),
                                  SA_RESTART | SA_SIGINFO),
              0);
    struct sigaction action = installed(SIGUSR1);
    EXPECT_EQ(action.sa_flags & (SA_SIGINFO | SA_RESTART), SA_RESTART);
    EXPECT_EQ(sigismember(&action.sa_mask, SIGUSR2), 1);
    EXPECT_EQ(sigismember(&action.sa_mask, SIGTERM), 0);
    plain_calls = 0;
    raise(SIGUSR1);
    EXPECT_EQ(plain_calls, 1);

    ASSERT_EQ(IPC::Signal::handle(SIGUSR2, info_handler, 0), 0);
    EXPECT_EQ(installed(SIGUSR2).sa_flags & (SA_SIGINFO | SA_RESTART), SA_SIGINFO);
    raise(SIGUSR2);
    EXPECT_EQ(info_signo, SIGUSR2);

    // The interrupt switches change only SA_RESTART of the installed action.
    ASSERT_EQ(IPC::Signal::disable_int(SIGUSR2), 0);
    EXPECT_EQ(installed(SIGUSR2).sa_flags & (SA_SIGINFO | SA_RESTART), SA_SIGINFO | SA_RESTART);
    ASSERT_EQ(IPC::Signal::enable_int(SIGUSR2), 0);
    EXPECT_EQ(installed(SIGUSR2).sa_flags & (SA_SIGINFO | SA_RESTART), SA_SIGINFO);
    EXPECT_EQ(installed(SIGUSR2).sa_sigaction, info_handler);

    EXPECT_EQ(IPC::Signal::ignore(SIGUSR1), 0);
    EXPECT_EQ(installed(SIGUSR1).sa_handler, SIG_IGN);
    EXPECT_EQ(IPC::Signal::system(SIGUSR1), 0);
    EXPECT_EQ(IPC::Signal::system(SIGUSR2), 0);
    EXPECT_EQ(installed(SIGUSR2).sa_handler, SIG_DFL);

    EXPECT_TRUE(IPC::Signal::Set::is_signal(SIGCHLD));
    EXPECT_FALSE(IPC::Signal::Set::is_signal(0));
    EXPECT_FALSE(IPC::Signal::Set::is_signal(1000));
    IPC::Signal::Set three(SIGINT, SIGTERM, SIGQUIT);
    EXPECT_EQ(sigismember(&three.get(), SIGQUIT), 1);
    EXPECT_EQ(sigismember(&three.get(), SIGCHLD), 0);
}

}  // namespace
