#include "foundation/reactor/multiplexer.h"

#include "foundation/reactor/dpc.h"
#include "foundation/reactor/event.h"
#include "foundation/reactor/timer.h"
#include "reactor_test_support.h"
#include "support/temp_root.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <vector>

#include <poll.h>
#include <sys/resource.h>
#include <sys/time.h>

namespace {

using reactortest::CaptureStream;
using reactortest::ReactorTest;
using MultiplexerDeathTest = ReactorTest;

struct Stopper {
    Timer timer;
    void stop() { multiplexer.terminate(); }
    explicit Stopper(unsigned ms) { timer.set(ms, &Stopper::stop, this); }
};

struct Nothing {
    void run() {}
};

// A handler with an ignored poll entry (negative descriptor).
class Placeholder : public EventHandler {
public:
    void shedule_event(pollfd& entry) override
    {
        entry.fd = -1;
        entry.events = 0;
    }
    void svc_event(short) override {}
};

// poll() refuses more entries than the process may open descriptors.
void poll_more_than_the_descriptor_limit()
{
    std::vector<Placeholder> handlers(40);
    for (Placeholder& handler : handlers)
        handler.mux_attach();
    rlimit limit{32, 32};
    setrlimit(RLIMIT_NOFILE, &limit);
    multiplexer.run(false, true);
}

TEST_F(MultiplexerDeathTest, HangAndFailingPollAbortWithTheirMessages)
{
    EXPECT_EXIT(multiplexer.run(false, true), ::testing::KilledBySignal(SIGABRT),
                "multiplexer: system hang detected!!!");
    // Neither an active deferred call nor the watchdog counts as something to wait for.
    testsupport::TempRoot root;
    root.write_file("/dev/misc/gw-wd", "");
    Nothing nothing;
    Dpc dpc;
    dpc.Bind(&nothing, &Nothing::run);
    dpc.Activate();
    EXPECT_EXIT(multiplexer.run(true, true), ::testing::KilledBySignal(SIGABRT),
                "multiplexer: system hang detected!!!");
    dpc.Deactivate();
    EXPECT_EXIT(poll_more_than_the_descriptor_limit(), ::testing::KilledBySignal(SIGABRT),
                "multiplexer poll failed: Invalid argument");
}

TEST_F(ReactorTest, WatchdogIsStartedPingedAboutOncePerSecondAndStopped)
{
    testsupport::TempRoot root;
    root.write_file("/dev/misc/gw-wd", "");
    Stopper stopper(3500);
    CaptureStream log(std::clog);
    CaptureStream err(std::cerr);
    run_guarded(20000, true);

    EXPECT_THAT(root.read_file("/dev/misc/gw-wd"), ::testing::MatchesRegex("START(PING){3,4}STOP"));
    EXPECT_EQ(log.text(), "Mux: terminating...\n");
    EXPECT_EQ(err.text(), "");
}

TEST_F(ReactorTest, MissingOrRefusingWatchdogIsReportedAndTheLoopRunsWithoutIt)
{
    testsupport::TempRoot root;
    {
        Stopper stopper(30);
        CaptureStream err(std::cerr);
        CaptureStream log(std::clog);
        run_guarded(20000, true);
        EXPECT_EQ(err.text(), std::string("Mux: fail to open watchdog: ") + strerror(ENOENT) + "\n");
        EXPECT_EQ(log.text(), "Mux: terminating...\n");
        EXPECT_EQ(stopper.timer.get(), nullptr);
    }
    if (access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "no /dev/full";
    std::filesystem::create_symlink("/dev/full", root.prepare("/dev/misc/gw-wd"));
    Stopper stopper(30);
    CaptureStream err(std::cerr);
    run_guarded(20000, true);
    // Only the refused START is reported: no PING or STOP reaches the closed device.
    EXPECT_EQ(err.text(), std::string("Mux: fail to activate watchdog: ") + strerror(ENOSPC) + "\n");
    EXPECT_EQ(stopper.timer.get(), nullptr);
}

void terminate_on_signal(int) { multiplexer.terminate(); }

TEST_F(ReactorTest, SignalHandlerEndsTheLoopThroughAnInterruptedPoll)
{
    struct sigaction action {};
    struct sigaction saved {};
    action.sa_handler = &terminate_on_signal;
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(sigaction(SIGALRM, &action, &saved), 0);
    itimerval in_50ms{};
    in_50ms.it_value.tv_usec = 50000;
    ASSERT_EQ(setitimer(ITIMER_REAL, &in_50ms, nullptr), 0);

    CaptureStream err(std::cerr);
    run_guarded();
    EXPECT_EQ(err.text(), "");
    sigaction(SIGALRM, &saved, nullptr);
}

}  // namespace
