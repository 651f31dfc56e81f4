#include "foundation/reactor/multiplexer.h"

#include "foundation/reactor/dpc.h"
#include "foundation/reactor/event.h"
#include "foundation/reactor/timer_pool_plugin.h"
#include "foundation/os/device.h"
#include "reactor_test_support.h"
#include "support/board_emulator.h"
#include "support/journal_requests.h"
#include "support/switch_requests.h"
#include "support/temp_root.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/timerfd.h>

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
    // The event polls a close-on-exec duplicate of its own; a second attach is ignored, so that
    // the event leaves the handler lists with its end.
    const int own = self.event->fd();
    EXPECT_NE(own, pair.ours);
    EXPECT_NE(fcntl(own, F_GETFD) & FD_CLOEXEC, 0);
    reactortest::CaptureStream err(std::cerr);
    multiplexer.attach(self.event);
    Channel released("released", *this), last("last", *this);
    self.other = &released.event;

    EXPECT_EQ(serve(1), Calls{"last:0"});
    EXPECT_EQ(self.event, nullptr);
    EXPECT_EQ(fcntl(own, F_GETFD), -1);
    EXPECT_NE(fcntl(pair.ours, F_GETFD), -1);
    EXPECT_FALSE(released.event.attached());
}

TEST_F(DispatchTest, ActiveDeferredCallsRunTwicePerPassInAddressOrderAndChangesWaitForTheNextRun)
{
    // Three deferred calls at ascending addresses journal their runs; the first may act from
    // within its run. A readable channel makes serve(1) one pass.
    struct Calls {
        Dpc dpcs[3];
        std::string order;
        std::function<void()> from_first;
        void run0() { order += '0'; if (from_first) from_first(); }
        void run1() { order += '1'; }
        void run2() { order += '2'; }
    } calls;
    Dpc* dpcs = calls.dpcs;
    dpcs[0].Bind(&calls, &Calls::run0), dpcs[1].Bind(&calls, &Calls::run1), dpcs[2].Bind(&calls, &Calls::run2);
    Channel ready("ready", *this);
    ready.make_readable();

    dpcs[1].Activate();
    dpcs[0].Activate();
    dpcs[0].Activate();
    EXPECT_TRUE(dpcs[0].active());
    serve(1);
    EXPECT_EQ(calls.order, "0101");

    // During the first run 2 is deactivated (and does not run later in it) and 1 activated (and
    // waits for the second run).
    dpcs[1].Deactivate();
    dpcs[2].Activate();
    calls.from_first = [&] { dpcs[2].Deactivate(); dpcs[1].Activate(); };
    calls.order.clear();
    serve(1);
    EXPECT_EQ(calls.order, "001");
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

TEST_F(ReactorTest, PostedDeviceRequestsLeaveDuringTheWaitOnceTheirBoundIsUpWithoutAnotherPass)
{
    testsupport::TempRoot root;
    testsupport::BoardEmulator board(root);
    Fd hal = Device::open("/dev/hal", O_RDWR);
    ASSERT_TRUE(hal);
    ASSERT_EQ(testsupport::switch_write_byte(hal, 9000, 1), 0);
    board.clear_journal();
    // A deferred call posts a disable in its first run; a descriptor that becomes readable long
    // after the bound looks at what still waits and ends the loop.
    struct Steps {
        int hal;
        int runs = 0;
        int waiting = -2;
        int runs_seen = 0;
        void post()
        {
            if (runs++ == 0)
                Device::post_in(hal, 0x80044D03, testsupport::switch_record(9000, 0).data(), 4);
        }
        void look(int, short)
        {
            waiting = Device::posted_wait_ms();
            runs_seen = runs;
            multiplexer.terminate();
        }
    } steps{hal};
    Dpc poster;
    poster.Bind(&steps, &Steps::post);
    poster.Activate();
    Fd later(timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC));
    const itimerspec in_500_ms{{0, 0}, {0, 500000000}};
    ASSERT_EQ(timerfd_settime(later, 0, &in_500_ms, nullptr), 0);
    Event readable;
    readable.Bind("later", &Steps::look, &steps);
    readable.Schedule(later, POLLIN);
    run_guarded();
    poster.Deactivate();
    readable.Release();
    later.close();
    EXPECT_EQ(steps.waiting, -1);
    EXPECT_EQ(steps.runs_seen, 2);
    EXPECT_EQ(testsupport::switch_requests(board), std::vector<std::string>{"disable output=9000 -> 0"});
    hal.close();
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
    // So does a poll() that fails for another reason than a signal: here more entries than
    // descriptors allowed. A pass before lets the sanitizer meet the types, which takes a pipe.
    reactortest::SocketPair pair;
    Event event;
    event.Schedule(pair.ours, POLLIN);
    testsupport::run_reactor_for(1);
    const rlimit none{0, 0};
    Timer guard;  // ends a loop that takes the failure for an interruption
    guard.set(1000, &Multiplexer::terminate, &multiplexer);
    EXPECT_EXIT((setrlimit(RLIMIT_NOFILE, &none), multiplexer.run(false, true)), ::testing::KilledBySignal(SIGABRT),
                "multiplexer poll failed: ");
}

TEST_F(ReactorTest, WatchdogIsPingedOnceASecondAndAMissingOrRefusingOneIsReportedAndLeftOut)
{
    testsupport::TempRoot root;
    // What the loop reports in three passes with the watchdog, on a frozen clock that moves 999 ms,
    // then 1 ms, from pass to pass (the socket stays readable, so no pass waits).
    auto errors_of_run = [] {
        struct Steps {
            Mux::timeval at;
            std::vector<unsigned> ms{999, 1};
            void next(int, short)
            {
                if (ms.empty())
                    return multiplexer.terminate();
                Mux::timevaladd(at, Mux::make_from_msec(ms.front()));
                Mux::set_cached_time_for_tests(at);
                ms.erase(ms.begin());
            }
        } steps;
        Mux::gettimeval(steps.at);
        Mux::set_cached_time_for_tests(steps.at);
        reactortest::SocketPair pair;
        pair.peer_write({'x'});
        Event readable;
        readable.Bind("readable", &Steps::next, &steps);
        readable.Schedule(pair.ours, POLLIN);
        reactortest::CaptureStream err(std::cerr);
        multiplexer.run(true, true);
        Mux::clear_cached_time_for_tests();
        return err.text();
    };
    EXPECT_EQ(errors_of_run(), std::string("Mux: fail to open watchdog: ") + strerror(ENOENT) + "\n");
    // Only the first and the third pass ping.
    root.write_file("/dev/misc/gw-wd", "");
    EXPECT_EQ(errors_of_run(), "");
    EXPECT_EQ(root.read_file("/dev/misc/gw-wd"), "STARTPINGPINGSTOP");
    std::filesystem::remove(root / "/dev/misc/gw-wd");
    if (access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "no /dev/full";
    std::filesystem::create_symlink("/dev/full", root.prepare("/dev/misc/gw-wd"));
    // Only the refused START is reported: no PING or STOP reaches the closed device.
    EXPECT_EQ(errors_of_run(), std::string("Mux: fail to activate watchdog: ") + strerror(ENOSPC) + "\n");
}

}  // namespace
