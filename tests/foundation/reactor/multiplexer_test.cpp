#include "foundation/reactor/multiplexer.h"

#include "foundation/reactor/dpc.h"
#include "foundation/reactor/event.h"
#include "foundation/reactor/timer_pool_plugin.h"
#include "reactor_test_support.h"
#include "support/temp_root.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>

#include <fcntl.h>
#include <poll.h>
#include <sys/time.h>

namespace {

using reactortest::ReactorTest;
using reactortest::SocketPair;
using Calls = std::vector<std::string>;
using MultiplexerDeathTest = ReactorTest;

// Channels (socket pairs with an Event watching one end for readability) journal every call as
// "name:revents"; a run ends after a given number of calls.
class DispatchTest : public ReactorTest {
protected:
    class Channel {
    public:
        Channel(const std::string& name, DispatchTest& test) : name_(name), test_(test)
        {
            event.Bind(name, &Channel::on_event, this);
            event.Schedule(pair_.ours, POLLIN);
        }
        void make_readable() { pair_.peer_write({'x'}); }

        Event event;

    private:
        void on_event(int fd, short revents)
        {
            EXPECT_EQ(fd, event.fd().get());
            test_.calls_.push_back(name_ + ":" + std::to_string(revents));
            if (test_.calls_.size() == test_.terminate_after_)
                multiplexer.terminate();
        }

        std::string name_;
        DispatchTest& test_;
        SocketPair pair_;
    };

    // The calls of a run that ends after the given number.
    Calls serve(size_t calls)
    {
        calls_.clear();
        terminate_after_ = calls;
        run_guarded();
        return calls_;
    }

private:
    Calls calls_;
    size_t terminate_after_ = 0;
};

TEST_F(DispatchTest, EveryHandlerIsServedAfterActivityInOrderAndNoneIsLostByTerminate)
{
    Channel a("a", *this), b("b", *this), c("c", *this);
    b.make_readable();
    EXPECT_EQ(serve(3), (Calls{"a:0", "b:1", "c:0"}));
    EXPECT_EQ(a.event.count(), 0u);
    EXPECT_EQ(b.event.count(), 1u);

    // The handlers not served before terminate() are served by the next run.
    EXPECT_EQ(serve(1), Calls{"a:0"});
    EXPECT_EQ(serve(3), (Calls{"a:0", "b:1", "c:0"}));

    // Scheduling again moves a handler to the end.
    a.event.Schedule(a.event.fd(), POLLIN | POLLOUT);
    EXPECT_EQ(a.event.events(), POLLIN | POLLOUT);
    EXPECT_EQ(serve(3), (Calls{"b:1", "c:0", "a:4"}));
}

TEST_F(DispatchTest, PollResultsReachTheirOwnHandlersAfterADeferredCallDeletedOne)
{
    auto a = std::make_unique<Channel>("a", *this);
    Channel b("b", *this), c("c", *this);
    c.make_readable();
    // The second deferred call of the first pass runs after the poll array was built with a in
    // it: deleting a there leaves the array one entry longer than the handler list.
    struct Deleter {
        std::unique_ptr<Channel>* victim;
        int runs = 0;
        void run()
        {
            if (++runs == 2)
                victim->reset();
        }
    } deleter{&a};
    Dpc dpc;
    dpc.Bind(&deleter, &Deleter::run);
    dpc.Activate();
    EXPECT_EQ(serve(2), (Calls{"b:0", "c:1"}));
    EXPECT_EQ(c.event.count(), 1u);
}

TEST_F(DispatchTest, HandlerMayDeleteItsOwnEventAndDetachOthers)
{
    struct SelfDeleting {
        Event* event = new Event;
        Event* other = nullptr;
        void on_event(int, short)
        {
            other->Release();
            delete event;
            event = nullptr;
        }
    } self;
    SocketPair pair;
    pair.peer_write({'x'});
    self.event->Bind("self", &SelfDeleting::on_event, &self);
    self.event->Schedule(pair.ours, POLLIN);
    Channel released("released", *this), last("last", *this);
    self.other = &released.event;

    EXPECT_EQ(serve(1), Calls{"last:0"});
    EXPECT_EQ(self.event, nullptr);
    EXPECT_FALSE(released.event.attached());
}

TEST(EventTest, KeepsItsOwnDuplicateAndLeavesWithItsEnd)
{
    SocketPair pair;
    int own;
    {
        Event event;
        event.Schedule(pair.ours, POLLIN);
        own = event.fd();
        EXPECT_NE(own, pair.ours);
        EXPECT_NE(fcntl(own, F_GETFD) & FD_CLOEXEC, 0);
        // A second attach is ignored, so the event leaves the handler list with its end.
        reactortest::CaptureStream err(std::cerr);
        multiplexer.attach(&event);
    }
    EXPECT_EQ(fcntl(own, F_GETFD), -1);
    EXPECT_NE(fcntl(pair.ours, F_GETFD), -1);
}

TEST_F(DispatchTest, ActiveDeferredCallsRunTwicePerPassInAddressOrderAndChangesWaitForTheNextRun)
{
    // Three deferred calls at ascending addresses journal their runs; the first may act from
    // within its run. A readable channel makes serve(1) one pass.
    struct Call {
        std::string* order;
        char name;
        std::function<void()>* from_first;
        void run()
        {
            *order += name;
            if (name == '0' && *from_first)
                (*from_first)();
        }
    };
    std::string order;
    std::function<void()> from_first;
    Call calls[3] = {{&order, '0', &from_first}, {&order, '1', &from_first}, {&order, '2', &from_first}};
    Dpc dpcs[3];
    for (int i = 0; i < 3; ++i)
        dpcs[i].Bind(&calls[i], &Call::run);
    Channel ready("ready", *this);
    ready.make_readable();

    dpcs[1].Activate();
    dpcs[0].Activate();
    dpcs[0].Activate();
    EXPECT_TRUE(dpcs[0].active());
    serve(1);
    EXPECT_EQ(order, "0101");

    // During the first run 2 is deactivated (and does not run later in it) and 1 activated (and
    // waits for the second run).
    dpcs[1].Deactivate();
    dpcs[2].Activate();
    from_first = [&] {
        dpcs[2].Deactivate();
        dpcs[1].Activate();
    };
    order.clear();
    serve(1);
    EXPECT_EQ(order, "001");
    EXPECT_FALSE(dpcs[2].active());
}

TEST_F(ReactorTest, TheTimerStepComesBeforeThePlugInStep)
{
    struct Steps : TimerPoolPlugin {
        std::string order;
        Timer timer;
        int32_t next_pass_ms() override { order += 'p'; return -1; }
        void on_timer() { order += 't'; multiplexer.terminate(); }
    } steps;
    // A frozen clock makes the timer due in the first pass.
    Mux::mux_settimeofday();
    steps.timerHook();
    steps.timer.set(0, &Steps::on_timer, &steps);
    multiplexer.run(false, true);
    EXPECT_EQ(steps.order, "tp");
}

TEST_F(MultiplexerDeathTest, NothingToWaitForAborts)
{
    EXPECT_EXIT(multiplexer.run(false, true), ::testing::KilledBySignal(SIGABRT),
                "multiplexer: system hang detected!!!");
    // Neither an active deferred call nor the watchdog counts as something to wait for.
    testsupport::TempRoot root;
    root.write_file("/dev/misc/gw-wd", "");
    Dpc dpc;
    dpc.Bind(new DpcHandler1([] {}));
    dpc.Activate();
    EXPECT_EXIT(multiplexer.run(true, true), ::testing::KilledBySignal(SIGABRT),
                "multiplexer: system hang detected!!!");
}

TEST_F(ReactorTest, MissingOrRefusingWatchdogIsReportedAndTheLoopRunsWithoutIt)
{
    testsupport::TempRoot root;
    // What the loop reports when it runs for ms with the watchdog.
    auto errors_of_run = [&](unsigned ms) {
        reactortest::CaptureStream err(std::cerr);
        Timer stop;
        stop.set(ms, &Multiplexer::terminate, &multiplexer);
        run_guarded(20000, true);
        EXPECT_EQ(stop.get(), nullptr);
        return err.text();
    };
    EXPECT_EQ(errors_of_run(30), std::string("Mux: fail to open watchdog: ") + strerror(ENOENT) + "\n");
    if (access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "no /dev/full";
    std::filesystem::create_symlink("/dev/full", root.prepare("/dev/misc/gw-wd"));
    // Only the refused START is reported: no PING or STOP reaches the closed device.
    EXPECT_EQ(errors_of_run(30), std::string("Mux: fail to activate watchdog: ") + strerror(ENOSPC) + "\n");
}

void terminate_on_signal(int) { multiplexer.terminate(); }

TEST_F(ReactorTest, SignalHandlerEndsTheLoopThroughAnInterruptedPoll)
{
    struct sigaction action {};
    struct sigaction saved {};
    action.sa_handler = &terminate_on_signal;
    ASSERT_EQ(sigaction(SIGALRM, &action, &saved), 0);
    itimerval in_50ms{};
    in_50ms.it_value.tv_usec = 50000;
    ASSERT_EQ(setitimer(ITIMER_REAL, &in_50ms, nullptr), 0);
    reactortest::CaptureStream err(std::cerr);
    run_guarded();
    EXPECT_EQ(err.text(), "");
    sigaction(SIGALRM, &saved, nullptr);
}

}  // namespace
