#include "foundation/reactor/timer.h"

#include "foundation/reactor/clock.h"
#include "foundation/reactor/event.h"
#include "foundation/reactor/multiplexer.h"
#include "reactor_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <string>

#include <poll.h>

namespace {

using reactortest::ReactorTest;
using TimerTest = ReactorTest;

// Records which of its timers fired, in order, and ends the loop after the last expected one.
struct Recorder {
    Timer timers[4];
    std::string order;
    size_t expected = 1;

    void fired(Timer* timer)
    {
        order += char('a' + (timer - timers));
        if (order.size() == expected)
            multiplexer.terminate();
    }
};

struct Probe {
    Timer timer;
    int fired = 0;
    uint32_t at = 0;
    void on_timer()
    {
        ++fired;
        at = Mux::milliseconds();
    }
};

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
    Probe probe;
    Recorder end;
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
    reactortest::SocketPair pair;
    pair.peer_write({'x'});
    scene.mover.Bind("mover", &Scene::move_back, &scene);
    scene.mover.Schedule(pair.ours, POLLIN);

    reactortest::CaptureStream err(std::cerr);
    scene.pending.set(5000, &Scene::on_pending, &scene);
    multiplexer.run(false, true);
    scene.mover.Release();

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
    EXPECT_NEAR(double(uint32_t(std::stoul(m[2])) - uint32_t(std::stoul(m[1]))), 3.0 * 3600 * 1000 + 5000, 500);
}

TEST_F(TimerTest, CancelledTimersNeverFireAndAGivenUpEventLeavesTheTimersNewerOne)
{
    Probe cancelled;
    Timer reset_one;
    reset_one.set(20, &Probe::on_timer, &cancelled);
    reset_one.reset();
    {
        Timer destroyed;
        destroyed.set(20, &Probe::on_timer, &cancelled);
    }
    Timer deleted_event;
    deleted_event.set(20, &Probe::on_timer, &cancelled);
    delete deleted_event.release();

    Probe probe;
    probe.timer.set(10, &Probe::on_timer, &probe);
    TimerEvent* given_up = probe.timer.release();
    probe.timer.set(5000, &Probe::on_timer, &probe);
    TimerEvent* newer = probe.timer.get();

    Recorder end;
    end.timers[0].set(100, &Recorder::fired, &end);
    run_guarded();

    EXPECT_EQ(cancelled.fired, 0);
    // The given-up event fired and deleted itself; the Timer still holds and can cancel its own.
    EXPECT_EQ(probe.fired, 1);
    EXPECT_NE(given_up, newer);
    EXPECT_EQ(probe.timer.get(), newer);
}

}  // namespace
