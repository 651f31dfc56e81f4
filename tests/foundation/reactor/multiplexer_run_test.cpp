#include "foundation/reactor/multiplexer.h"

#include "foundation/reactor/dpc.h"
#include "foundation/reactor/event.h"
#include "foundation/reactor/timer.h"
#include "foundation/reactor/timer_pool_plugin.h"
#include "reactor_test_support.h"
#include "support/temp_root.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

using reactortest::CaptureStream;
using reactortest::ReactorTest;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

struct Stopper {
    Timer timer;
    void stop() { multiplexer.terminate(); }
    void arm(unsigned ms) { timer.set(ms, &Stopper::stop, this); }
};

struct Nothing {
    void run() {}
};

using MultiplexerDeathTest = ReactorTest;

TEST_F(MultiplexerDeathTest, NothingToWaitForAbortsAsAHang)
{
    EXPECT_EXIT(multiplexer.run(false, true), ::testing::KilledBySignal(SIGABRT),
                "multiplexer: system hang detected!!!");
}

TEST_F(MultiplexerDeathTest, ActiveDeferredCallAndWatchdogDoNotPreventTheHangAbort)
{
    testsupport::TempRoot root;
    root.prepare("/dev/misc/gw-wd");
    root.write_file("/dev/misc/gw-wd", "");
    Nothing nothing;
    Dpc dpc;
    dpc.Bind(&nothing, &Nothing::run);
    dpc.Activate();
    EXPECT_EXIT(multiplexer.run(true, true), ::testing::KilledBySignal(SIGABRT),
                "multiplexer: system hang detected!!!");
}

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

TEST_F(MultiplexerDeathTest, FailingPollAbortsWithTheSystemError)
{
    EXPECT_EXIT(poll_more_than_the_descriptor_limit(), ::testing::KilledBySignal(SIGABRT),
                "multiplexer poll failed: Invalid argument");
}

TEST_F(ReactorTest, TerminateBeforeRunHasNoEffect)
{
    Stopper stopper;
    stopper.arm(30);
    multiplexer.terminate();
    run_guarded();
    EXPECT_EQ(stopper.timer.get(), nullptr);
}

TEST_F(ReactorTest, WatchdogIsStartedPingedAboutOncePerSecondAndStopped)
{
    testsupport::TempRoot root;
    root.prepare("/dev/misc/gw-wd");
    root.write_file("/dev/misc/gw-wd", "");
    Stopper stopper;
    stopper.arm(3500);
    CaptureStream log(std::clog);
    CaptureStream err(std::cerr);
    run_guarded(20000, true);

    EXPECT_THAT(root.read_file("/dev/misc/gw-wd"), MatchesRegex("START(PING){3,4}STOP"));
    EXPECT_EQ(log.text(), "Mux: terminating...\n");
    EXPECT_EQ(err.text(), "");
}

TEST_F(ReactorTest, MissingWatchdogIsReportedAndTheLoopRunsWithoutIt)
{
    testsupport::TempRoot root;
    Stopper stopper;
    stopper.arm(30);
    CaptureStream err(std::cerr);
    CaptureStream log(std::clog);
    run_guarded(20000, true);

    EXPECT_EQ(err.text(), std::string("Mux: fail to open watchdog: ") + strerror(ENOENT) + "\n");
    EXPECT_EQ(log.text(), "Mux: terminating...\n");
    EXPECT_EQ(stopper.timer.get(), nullptr);
}

TEST_F(ReactorTest, WatchdogRefusingStartIsClosedAndTheLoopRunsWithoutIt)
{
    if (access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "no /dev/full";
    testsupport::TempRoot root;
    std::filesystem::create_symlink("/dev/full", root.prepare("/dev/misc/gw-wd"));
    Stopper stopper;
    stopper.arm(30);
    CaptureStream err(std::cerr);
    CaptureStream log(std::clog);
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

// A plug-in that limits every poll wait and counts how often it was asked.
class Limiter : public TimerPoolPlugin {
public:
    explicit Limiter(int32_t ms) : ms_(ms) {}
    int32_t next_pass_ms() override
    {
        ++asked;
        if (on_ask)
            on_ask(*this);
        return ms_;
    }
    int asked = 0;
    std::function<void(Limiter&)> on_ask;

private:
    int32_t ms_;
};

TEST_F(ReactorTest, PluginsLimitThePollWaitAndMayUnhookOthersDuringTheWalk)
{
    // A descriptor that never becomes ready: only the plug-in's limit ends each poll.
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    Event idle;
    idle.Schedule(ends[0], POLLIN);

    Limiter unlimited(-1);
    Limiter limiter(20);
    auto victim = std::make_unique<Limiter>(-1);
    Limiter* second = victim.get();
    unlimited.on_ask = [&](Limiter&) { victim.reset(); };
    limiter.on_ask = [](Limiter& self) {
        if (self.asked == 5)
            multiplexer.terminate();
    };
    unlimited.timerHook();
    second->timerHook();
    limiter.timerHook();
    limiter.timerHook();

    run_guarded();
    EXPECT_EQ(unlimited.asked, 5);
    EXPECT_EQ(limiter.asked, 5);
    EXPECT_EQ(victim, nullptr);
    limiter.timerUnhook();
    EXPECT_FALSE(limiter.hooked());
    close(ends[0]);
    close(ends[1]);
}

}  // namespace
