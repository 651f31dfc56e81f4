#include "foundation/reactor/clock.h"

#include <gtest/gtest.h>

namespace {

class ClockOffset : public ::testing::Test {
protected:
    void TearDown() override { Mux::set_clock_offset_for_tests(0); }
};

Mux::timeval tv(int32_t sec, int32_t usec)
{
    Mux::timeval t;
    t.tv_sec = sec;
    t.tv_usec = usec;
    return t;
}

TEST_F(ClockOffset, MillisecondsWrapAtThirtyTwoBitsAndCompareBySignedDifference)
{
    // Place the clock 5 ms before the wrap of the millisecond count.
    uint32_t now = Mux::milliseconds();
    Mux::set_clock_offset_for_tests((int64_t(0xFFFFFFFFu - now) - 5) * 1000);
    uint32_t before = Mux::milliseconds();
    EXPECT_GE(before, 0xFFFFFFF0u);
    Mux::set_clock_offset_for_tests((int64_t(0xFFFFFFFFu - now) + 100) * 1000);
    uint32_t after = Mux::milliseconds();
    EXPECT_LT(after, 1000u);
    EXPECT_GT(int32_t(after - before), 0);
}

TEST_F(ClockOffset, MillisecondsComeFromSixtyFourBitMicroseconds)
{
    // Far beyond the 71-minute wrap of a 32-bit microsecond count, milliseconds stay consistent
    // with the seconds.
    Mux::timeval now;
    Mux::mux_gettimeofday(now);
    uint32_t ms = Mux::milliseconds();
    uint32_t expected = uint32_t((int64_t(now.tv_sec) * 1000000 + now.tv_usec) / 1000);
    EXPECT_LE(ms - expected, 50u);
}

TEST_F(ClockOffset, MovesTheClockBackWhileItKeepsRunning)
{
    int32_t now = Mux::seconds();
    Mux::set_clock_offset_for_tests(-3LL * 3600 * 1000000);
    EXPECT_NEAR(Mux::seconds(), now - 3 * 3600, 1);
}

TEST(Clock, CachedTimeHoldsUntilSetAgain)
{
    Mux::mux_settimeofday();
    uint32_t ms = Mux::milliseconds();
    uint32_t us = Mux::microseconds();
    int32_t s = Mux::seconds();
    struct timespec pause{0, 3000000};
    nanosleep(&pause, nullptr);
    EXPECT_EQ(Mux::milliseconds(), ms);
    EXPECT_EQ(Mux::microseconds(), us);
    EXPECT_EQ(Mux::seconds(), s);
    Mux::mux_settimeofday();
    EXPECT_NE(Mux::microseconds(), us);
    Mux::clear_cached_time_for_tests();
}

TEST(Clock, TimeValueArithmetic)
{
    EXPECT_EQ(Mux::timevaldiff(tv(5, 0), tv(4, 0)), 0);
    EXPECT_EQ(Mux::timevaldiff(tv(1, 999999), tv(2, 0)), 1);
    EXPECT_EQ(Mux::timevaldiff(tv(1, 0), tv(3, 500000)), 2500);

    Mux::timeval a = tv(1, 0);
    Mux::timevalsub(a, tv(0, 1));
    EXPECT_EQ(a.tv_sec, 0);
    EXPECT_EQ(a.tv_usec, 999999);

    Mux::timeval sum;
    Mux::timevaladd2(tv(1, 600000), tv(2, 700000), sum);
    EXPECT_EQ(sum.tv_sec, 4);
    EXPECT_EQ(sum.tv_usec, 300000);

    EXPECT_EQ(Mux::timevalcompare(tv(1, 5), tv(1, 6)), -1);
    EXPECT_EQ(Mux::timevalcompare(tv(2, 0), tv(1, 999999)), 1);
    EXPECT_EQ(Mux::timevalcompare(tv(2, 3), tv(2, 3)), 0);

    Mux::timeval from_ms = Mux::make_from_msec(2500);
    EXPECT_EQ(from_ms.tv_sec, 2);
    EXPECT_EQ(from_ms.tv_usec, 500000);
    Mux::timeval from_us = Mux::make_from_usec(3000001);
    EXPECT_EQ(from_us.tv_sec, 3);
    EXPECT_EQ(from_us.tv_usec, 1);
}

TEST(Clock, PeriodicExpiry)
{
    Mux::timeval_timer never;
    never.init(tv(10, 0), 0);
    EXPECT_FALSE(never.is_expired(tv(1000, 0)));

    Mux::timeval_timer every;
    every.init(tv(10, 0), 500);
    EXPECT_FALSE(every.is_expired(tv(10, 500000)));
    EXPECT_TRUE(every.is_expired(tv(10, 501000)));
    every.inc();
    EXPECT_EQ(every.start.tv_usec, 500000);
    EXPECT_FALSE(every.is_expired(tv(10, 900000)));
}

TEST(Clock, TimeValueText)
{
    std::string text = Mux::timevaltostring(tv(0, 42));
    ASSERT_GE(text.size(), 7u);
    EXPECT_EQ(text.substr(text.size() - 7), ".000042");
}

}  // namespace
