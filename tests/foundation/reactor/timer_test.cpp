#include "foundation/reactor/timer.h"

#include "foundation/reactor/clock.h"
#include "foundation/reactor/event.h"
#include "foundation/reactor/multiplexer.h"
#include "reactor_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <string>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using reactortest::CaptureStream;
using reactortest::ReactorTest;

// Records which of its timers fired, in order, and ends the loop after the last expected one.
struct Recorder {
    Timer timers[4];
    std::string order;
    size_t expected = 0;

    void fired(Timer* timer)
    {
        order += char('a' + (timer - timers));
        if (order.size() == expected)
            multiplexer.terminate();
    }
};

using TimerTest = ReactorTest;

TEST_F(TimerTest, EqualDueTimesFireInArmingOrderAfterEarlierOnes)
{
    Recorder rec;
    rec.expected = 3;
    // One frozen clock reading gives the first two the very same due time.
    Mux::mux_settimeofday();
    rec.timers[0].set(60, &Recorder::fired, &rec);
    rec.timers[1].set(60, &Recorder::fired, &rec);
    rec.timers[2].set(20, &Recorder::fired, &rec);
    EXPECT_EQ(rec.timers[0].get()->due(), rec.timers[1].get()->due());
    Mux::clear_cached_time_for_tests();
    run_guarded();
    EXPECT_EQ(rec.order, "cab");
}

TEST_F(TimerTest, ReArmedTimerFiresOnceAtTheNewTime)
{
    struct Probe {
        Timer timer;
        int fired = 0;
        uint32_t at = 0;
        void on_timer()
        {
            ++fired;
            at = Mux::milliseconds();
        }
    } probe;
    Recorder end;
    end.expected = 1;

    uint32_t start = Mux::milliseconds();
    probe.timer.set(30, &Probe::on_timer, &probe);
    probe.timer.set(300, &Probe::on_timer, &probe);
    end.timers[0].set(600, &Recorder::fired, &end);
    run_guarded();

    EXPECT_EQ(probe.fired, 1);
    EXPECT_GE(probe.at - start, 300u);
    EXPECT_EQ(probe.timer.get(), nullptr);
}

TEST_F(TimerTest, TimersKeepTheirOrderAcrossTheThirtyTwoBitWrap)
{
    uint32_t now = Mux::milliseconds();
    Mux::set_clock_offset_for_tests(int64_t(uint32_t(0xFFFFFFFFu - 500u + 1u - now)) * 1000);
    ASSERT_GE(Mux::milliseconds(), 0xFFFFFFFFu - 510u);

    Recorder rec;
    rec.expected = 3;
    rec.timers[2].set(1200, &Recorder::fired, &rec);
    rec.timers[0].set(200, &Recorder::fired, &rec);
    rec.timers[1].set(700, &Recorder::fired, &rec);
    run_guarded();

    EXPECT_EQ(rec.order, "abc");
    EXPECT_LT(Mux::milliseconds(), 10000u);
}

TEST_F(TimerTest, ClockSetBackByHoursReportsAndFiresPendingTimersOneSecondLater)
{
    using Clock = std::chrono::steady_clock;
    // A descriptor callback moves the clock, so that the next pass reads the moved clock afresh.
    struct Scene {
        Timer pending;
        Event mover;
        Clock::time_point moved;
        Clock::time_point fired;
        void move_back(int fd, short revents)
        {
            char byte;
            if (!(revents & POLLIN) || read(fd, &byte, 1) != 1)
                return;
            Mux::set_clock_offset_for_tests(-3LL * 3600 * 1000000);
            moved = Clock::now();
        }
        void on_pending()
        {
            fired = Clock::now();
            multiplexer.terminate();
        }
    } scene;
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    ASSERT_EQ(write(ends[1], "x", 1), 1);
    scene.mover.Bind("mover", &Scene::move_back, &scene);
    scene.mover.Schedule(ends[0], POLLIN);

    CaptureStream err(std::cerr);
    scene.pending.set(5000, &Scene::on_pending, &scene);
    multiplexer.run(false, true);
    scene.mover.Release();
    close(ends[0]);
    close(ends[1]);

    auto late = std::chrono::duration_cast<std::chrono::milliseconds>(scene.fired - scene.moved).count();
    EXPECT_GE(late, 990);
    EXPECT_LT(late, 3000);

    std::smatch m;
    std::string text = err.text();
    ASSERT_TRUE(std::regex_search(text, m,
                                  std::regex("\\*{8} RUNTIME ERROR CONDITION \\*{13}"
                                             "Multiplexer::timers_schedule\\(\\) invalid wait time detected!\n"
                                             "now = ([0-9]+)\nfirst = ([0-9]+)\ncount = 1\n")))
        << text;
    uint32_t now = uint32_t(std::stoul(m[1]));
    uint32_t first = uint32_t(std::stoul(m[2]));
    EXPECT_NEAR(double(first - now), 3.0 * 3600 * 1000 + 5000, 500);
}

TEST_F(TimerTest, CancelledTimersNeverFire)
{
    struct Probe {
        int fired = 0;
        void on_timer() { ++fired; }
    } probe;
    Timer reset_one;
    reset_one.set(20, &Probe::on_timer, &probe);
    reset_one.reset();
    {
        Timer destroyed;
        destroyed.set(20, &Probe::on_timer, &probe);
    }
    Timer deleted_event;
    deleted_event.set(20, &Probe::on_timer, &probe);
    delete deleted_event.release();

    Recorder end;
    end.expected = 1;
    end.timers[0].set(100, &Recorder::fired, &end);
    run_guarded();
    EXPECT_EQ(probe.fired, 0);
}

TEST_F(TimerTest, PeriodicWorkReArmsItsTimerFromTheCallback)
{
    struct Periodic {
        int runs = 0;
        void tick(Timer* timer)
        {
            EXPECT_EQ(timer->get(), nullptr);
            if (++runs < 3)
                timer->set(10, &Periodic::tick, this);
            else
                multiplexer.terminate();
        }
    } periodic;
    Timer timer;
    timer.set(10, &Periodic::tick, &periodic);
    run_guarded();
    EXPECT_EQ(periodic.runs, 3);
}

TEST_F(TimerTest, EventGivenUpByItsTimerLeavesTheTimersNewerEventAlone)
{
    struct Probe {
        Timer timer;
        int fired = 0;
        void on_timer() { ++fired; }
    } probe;
    probe.timer.set(10, &Probe::on_timer, &probe);
    TimerEvent* given_up = probe.timer.release();
    probe.timer.set(5000, &Probe::on_timer, &probe);
    TimerEvent* newer = probe.timer.get();

    Recorder end;
    end.expected = 1;
    end.timers[0].set(100, &Recorder::fired, &end);
    run_guarded();

    // The given-up event fired and deleted itself; the Timer still holds and can cancel its own.
    EXPECT_EQ(probe.fired, 1);
    EXPECT_NE(given_up, newer);
    EXPECT_EQ(probe.timer.get(), newer);
}

}  // namespace
