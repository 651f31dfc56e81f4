#include "foundation/reactor/measure.h"

#include "foundation/reactor/clock.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// Times intervals exactly on a cached clock set to a given microsecond count.
class MeasureTest : public ::testing::Test {
protected:
    void TearDown() override { Mux::clear_cached_time_for_tests(); }

    void at(int64_t usec)
    {
        Mux::timeval tv;
        tv.tv_sec = int32_t(usec / 1000000);
        tv.tv_usec = int32_t(usec % 1000000);
        Mux::set_cached_time_for_tests(tv);
    }

    void interval(Measure& measure, int64_t from, uint32_t length)
    {
        at(from);
        measure.begin();
        at(from + length);
        measure.end();
    }

    static std::string text(const Measure& measure)
    {
        std::ostringstream out;
        out << measure;
        return out.str();
    }
};

TEST_F(MeasureTest, AvgIsTheLastIntervalNotAnAverage)
{
    Measure measure;
    int64_t base = 1700000000LL * 1000000;
    interval(measure, base, 5);
    interval(measure, base + 100, 3);
    interval(measure, base + 200, 9);
    EXPECT_EQ(text(measure), "min=3 max=9 avg=9 counter=3");
}

TEST_F(MeasureTest, IntervalAcrossTheMicrosecondWrapIsMeasuredWhole)
{
    Measure measure;
    // 2^32 microseconds pass every 71 minutes: start 2 µs before a wrap of the 32-bit count.
    int64_t base = (1700000000LL * 1000000 / (1LL << 32) + 1) * (1LL << 32) - 2;
    at(base);
    measure.begin();
    at(base + 7);
    EXPECT_EQ(measure.end(), 7u);
}

}  // namespace
