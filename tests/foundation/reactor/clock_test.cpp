#include "foundation/reactor/clock.h"

#include <gtest/gtest.h>

namespace {

Mux::timeval tv(int32_t sec, int32_t usec)
{
    Mux::timeval t;
    t.tv_sec = sec;
    t.tv_usec = usec;
    return t;
}

TEST(Clock, MillisecondsComeFromSixtyFourBitsAndWrapAtThirtyTwo)
{
    // Far beyond the 71-minute wrap of a 32-bit microsecond count, milliseconds stay consistent
    // with the seconds.
    Mux::timeval now;
    Mux::mux_gettimeofday(now);
    uint32_t ms = Mux::milliseconds();
    EXPECT_LE(ms - uint32_t((int64_t(now.tv_sec) * 1000000 + now.tv_usec) / 1000), 50u);

    // Across the wrap of the millisecond count, later still compares later by signed difference.
    Mux::set_clock_offset_for_tests((int64_t(0xFFFFFFFFu - ms) - 5) * 1000);
    uint32_t before = Mux::milliseconds();
    EXPECT_GE(before, 0xFFFFFFF0u);
    Mux::set_clock_offset_for_tests((int64_t(0xFFFFFFFFu - ms) + 100) * 1000);
    uint32_t after = Mux::milliseconds();
    Mux::set_clock_offset_for_tests(0);
    EXPECT_LT(after, 1000u);
    EXPECT_GT(int32_t(after - before), 0);
}

TEST(Clock, TimeValueArithmetic)
{
    EXPECT_EQ(Mux::timevaldiff(tv(5, 0), tv(4, 0)), 0);
    EXPECT_EQ(Mux::timevaldiff(tv(1, 999999), tv(2, 0)), 1);
    EXPECT_EQ(Mux::timevaldiff(tv(1, 0), tv(3, 500000)), 2500);
    Mux::timeval a;
    Mux::timevaladd2(tv(1, 600000), tv(2, 700000), a);
    EXPECT_EQ(Mux::timevalcompare(a, tv(4, 300000)), 0);
    EXPECT_EQ(Mux::timevalcompare(tv(1, 5), tv(1, 6)), -1);
    EXPECT_EQ(Mux::timevalcompare(tv(2, 0), tv(1, 999999)), 1);

    Mux::timeval_timer every;
    every.init(tv(10, 0), 500);
    EXPECT_FALSE(every.is_expired(tv(10, 500000)));
    EXPECT_TRUE(every.is_expired(tv(10, 501000)));
    every.inc();
    EXPECT_FALSE(every.is_expired(tv(10, 900000)));
    Mux::timeval_timer never;
    never.init(tv(10, 0), 0);
    EXPECT_FALSE(never.is_expired(tv(1000, 0)));
}

}  // namespace
