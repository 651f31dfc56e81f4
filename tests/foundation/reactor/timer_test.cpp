#include "foundation/reactor/timer.h"

#include "foundation/reactor/dpc.h"
#include "reactor_test_support.h"

#include <gmock/gmock.h>

namespace {

using TimerTest = reactortest::ReactorTest;

TEST(Clock, MillisecondsComeFromSixtyFourBits)
{
    // Far beyond the 71-minute wrap of a 32-bit microsecond count, milliseconds stay consistent
    // with the seconds.
    Mux::timeval now;
    Mux::mux_gettimeofday(now);
    EXPECT_LE(Mux::milliseconds() - uint32_t((int64_t(now.tv_sec) * 1000000 + now.tv_usec) / 1000), 50u);
}

Mux::timeval tv(time_t sec, int32_t usec)
{
    Mux::timeval t;
    t.tv_sec = sec;
    t.tv_usec = usec;
    return t;
}

TEST(Clock, TimeValuesCarryMicrosecondsAndPeriodsExpireOnceMoreThanTheirLengthHasPassed)
{
    EXPECT_EQ(Mux::timevaldiff(tv(5, 0), tv(4, 0)), 0);
    // The seconds' and the microseconds' parts are taken apart, each truncated towards zero.
    EXPECT_EQ(Mux::timevaldiff(tv(1, 999999), tv(2, 0)), 1);
    EXPECT_EQ(Mux::timevaldiff(tv(1, 0), tv(3, 500000)), 2500);
    // Past 2038.
    EXPECT_EQ(Mux::timevaldiff(tv(4102444800, 0), tv(4102444801, 250000)), 1250);

    Mux::timeval a = tv(1, 0);
    Mux::timevalsub(a, tv(0, 1));
    EXPECT_EQ(a.tv_sec, 0);
    EXPECT_EQ(a.tv_usec, 999999);
    Mux::timeval difference;
    Mux::timevalsub2(tv(3, 700000), tv(1, 200000), difference);
    EXPECT_EQ(difference.tv_sec, 2);
    EXPECT_EQ(difference.tv_usec, 500000);

    EXPECT_EQ(Mux::timevalcompare(tv(1, 5), tv(1, 6)), -1);
    EXPECT_EQ(Mux::timevalcompare(tv(2, 0), tv(1, 999999)), 1);
    EXPECT_EQ(Mux::timevalcompare(tv(1, 999999), tv(2, 0)), -1);
    EXPECT_EQ(Mux::timevalcompare(tv(2, 3), tv(2, 3)), 0);
    const Mux::timeval from_us = Mux::make_from_usec(3000001);
    EXPECT_EQ(from_us.tv_sec, 3);
    EXPECT_EQ(from_us.tv_usec, 1);

    Mux::timeval_timer never;
    never.init(tv(10, 0), 0);
    EXPECT_FALSE(never.is_expired(tv(1000, 0)));
    Mux::timeval_timer every;
    every.init(tv(10, 0), 500);
    EXPECT_FALSE(every.is_expired(tv(10, 500000)));
    EXPECT_TRUE(every.is_expired(tv(10, 501000)));
    every.inc();
    EXPECT_EQ(every.start.tv_sec, 10);
    EXPECT_EQ(every.start.tv_usec, 500000);
    EXPECT_FALSE(every.is_expired(tv(10, 900000)));
    EXPECT_TRUE(every.is_expired(tv(11, 1000)));
}

TEST(Clock, SelectSetsTakeDescriptorsInRangeOnlyAndEachVariantWaitsOnItsOwnSets)
{
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    Mux::Set empty, read, write;
    EXPECT_FALSE(read.add(-1));
    EXPECT_FALSE(read.add(FD_SETSIZE));
    EXPECT_FALSE(read.has(FD_SETSIZE));
    ASSERT_TRUE(read.add(ends[0]));
    ASSERT_TRUE(write.add(ends[1]));
    EXPECT_TRUE(read.has(ends[0]));
    EXPECT_FALSE(read.has(ends[1]));
    EXPECT_EQ(Mux::max_fd(&read, nullptr, &write), std::max(ends[0], ends[1]));
    EXPECT_EQ(Mux::max_fd(&empty, nullptr, nullptr), -1);

    // Nothing to read yet: only the write end is ready. As select(2), each call leaves in its
    // sets the descriptors that are ready.
    Mux::timeval now;
    Mux::Set readable = read, writable = write, none;
    EXPECT_EQ(Mux::select_rd(readable, now), 0);
    EXPECT_FALSE(readable.has(ends[0]));
    EXPECT_EQ(Mux::select_wr(writable, now), 1);
    readable = read, writable = write;
    EXPECT_EQ(Mux::select(readable, writable, none, now), 1);
    EXPECT_FALSE(readable.has(ends[0]));
    EXPECT_TRUE(writable.has(ends[1]));
    ASSERT_EQ(::write(ends[1], "x", 1), 1);
    readable = read, writable = write;
    EXPECT_EQ(Mux::select(readable, writable), 2);
    readable = read;
    EXPECT_EQ(Mux::select(readable), 1);
    readable = read, writable = write, none = empty;
    EXPECT_EQ(Mux::select(readable, writable, none), 2);
    close(ends[0]);
    close(ends[1]);

    Mux::timeval set;
    Mux::timevalset(set, 2500);
    EXPECT_EQ(set.tv_sec, 2);
    EXPECT_EQ(set.tv_usec, 500000);
    Mux::timeval_timer timer;
    timer.init(set, 100);
    timer.init_now(now);
    EXPECT_EQ(timer.start.tv_sec, 0);
    EXPECT_EQ(timer.period_ms, 100);
}

// Records which of its timers fired, in order, and ends the loop after the expected number.
struct Recorder {
    Timer timers[3];
    std::string order;

    void fired(Timer* timer)
    {
        order += char('a' + (timer - timers));
        if (order.size() == 3)
            multiplexer.terminate();
    }
};

struct Probe {
    int fired = 0;
    uint32_t at = 0;
    void on_timer()
    {
        ++fired;
        at = Mux::milliseconds();
    }
};

TEST_F(TimerTest, TimersFireByDueTimeAcrossTheThirtyTwoBitWrapAndEqualOnesInArmingOrder)
{
    uint32_t now = Mux::milliseconds();
    Mux::set_clock_offset_for_tests(int64_t(uint32_t(0xFFFFFFFFu - 40u + 1u - now)) * 1000);
    // One frozen clock reading gives the first two the very same due time, after the wrap; the
    // third is due before it.
    Mux::mux_settimeofday();
    ASSERT_GE(Mux::milliseconds(), 0xFFFFFFFFu - 50u);
    Recorder rec;
    rec.timers[0].set(60, &Recorder::fired, &rec);
    rec.timers[1].set(60, &Recorder::fired, &rec);
    rec.timers[2].set(20, &Recorder::fired, &rec);
    EXPECT_EQ(rec.timers[0].get()->due(), rec.timers[1].get()->due());
    Mux::clear_cached_time_for_tests();
    run_guarded();
    EXPECT_EQ(rec.order, "cab");
    EXPECT_LT(Mux::milliseconds(), 10000u);
}

TEST_F(TimerTest, ReArmedTimerFiresOnceAtTheNewTimeAndCancelledOnesNever)
{
    Probe rearmed, cancelled, given_up;
    Timer timer, reset_one, deleted_event, keeper;
    const uint32_t start = Mux::milliseconds();
    timer.set(30, &Probe::on_timer, &rearmed);
    timer.set(300, &Probe::on_timer, &rearmed);
    reset_one.set(20, &Probe::on_timer, &cancelled);
    reset_one.reset();
    {
        Timer destroyed;
        destroyed.set(20, &Probe::on_timer, &cancelled);
    }
    deleted_event.set(20, &Probe::on_timer, &cancelled);
    delete deleted_event.release();
    // A given-up event still fires and deletes itself; the Timer keeps, and can cancel, its newer one.
    keeper.set(10, &Probe::on_timer, &given_up);
    TimerEvent* released = keeper.release();
    keeper.set(5000, &Probe::on_timer, &given_up);
    TimerEvent* newer = keeper.get();
    {
        // An event given up by a Timer that is gone fires without touching that Timer.
        Timer gone;
        gone.set(10, &Probe::on_timer, &given_up);
        gone.release();
    }
    testsupport::run_reactor_for(400);

    EXPECT_EQ(rearmed.fired, 1);
    EXPECT_GE(rearmed.at - start, 300u);
    EXPECT_EQ(timer.get(), nullptr);
    EXPECT_EQ(cancelled.fired, 0);
    EXPECT_EQ(given_up.fired, 2);
    EXPECT_NE(released, newer);
    EXPECT_EQ(keeper.get(), newer);
}

TEST_F(TimerTest, ClockSetBackByHoursReportsAndMovesPendingTimersToOneSecondAhead)
{
    Probe probe;
    Timer pending;
    pending.set(5000, &Probe::on_timer, &probe);
    Mux::set_clock_offset_for_tests(-3LL * 3600 * 1000000);
    Mux::mux_settimeofday();  // every read of the pass sees this time
    // The deferred call ends the loop in its first pass, after the timer step.
    Dpc stop;
    stop.Bind(new DpcHandler1([] { multiplexer.terminate(); }));
    stop.Activate();
    reactortest::CaptureStream err(std::cerr);
    multiplexer.run(false, true);
    EXPECT_EQ(pending.get()->due(), Mux::milliseconds() + 1000);
    EXPECT_EQ(probe.fired, 0);
    EXPECT_THAT(err.text(), testing::HasSubstr("invalid wait time detected!"));
}

}  // namespace
