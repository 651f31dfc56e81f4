#include "foundation/log/log_file_stream_buf.h"
#include "foundation/reactor/clock.h"
#include "support/temp_root.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <ostream>
#include <regex>
#include <string>
#include <sys/time.h>

namespace {

class LogFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* tz = std::getenv("TZ");
        saved_tz_ = tz ? std::make_unique<std::string>(tz) : nullptr;
        setenv("TZ", "UTC", 1);
        tzset();
        Mux::clear_cached_time_for_tests();
    }

    void TearDown() override
    {
        Mux::set_clock_offset_for_tests(0);
        if (saved_tz_)
            setenv("TZ", saved_tz_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

    // Moves the clock so that it now reads the given UTC time (December 2024).
    static void set_clock(int day, int hour, int minute, int second, int usec)
    {
        std::tm date{};
        date.tm_year = 2024 - 1900;
        date.tm_mon = 11;
        date.tm_mday = day;
        date.tm_hour = hour;
        date.tm_min = minute;
        date.tm_sec = second;
        int64_t target = int64_t(timegm(&date)) * 1000000 + usec;
        ::timeval now{};
        gettimeofday(&now, nullptr);
        Mux::set_clock_offset_for_tests(target - (int64_t(now.tv_sec) * 1000000 + now.tv_usec));
    }

    std::string file(const std::string& name) { return root_.read_file("/" + name + ".log"); }

    testsupport::TempRoot root_;
    std::unique_ptr<std::string> saved_tz_;
};

MATCHER_P(Lines, pattern, "") { return std::regex_match(arg, std::regex(pattern)); }

TEST_F(LogFile, LinesGetOnePrefixEachAlsoWhenWrittenInPieces)
{
    set_clock(5, 10, 15, 30, 500000);
    LogFileStreamBuf buffer(root_.path());
    std::ostream out(&buffer);
    out << std::string(40, 'a') << std::flush;
    out << "b\nsecond\n" << std::flush;
    EXPECT_THAT(file("2024_12_05-10"), Lines("15:30:\\d{5,6}: a{40}b\n15:30:\\d{5,6}: second\n"));
}

TEST_F(LogFile, CrossingTheHourOpensTheNextFile)
{
    LogFileStreamBuf buffer(root_.path());
    std::ostream out(&buffer);
    set_clock(5, 10, 59, 59, 500000);
    out << "first" << std::endl;
    set_clock(5, 11, 0, 0, 200000);
    out << "second" << std::endl;
    EXPECT_THAT(file("2024_12_05-10"), Lines("59:59:\\d{5,6}: first\n"));
    EXPECT_THAT(file("2024_12_05-11"), Lines("00:00:\\d{5,6}: second\n"));
}

TEST_F(LogFile, SameHourOfTheNextDayOpensANewFile)
{
    LogFileStreamBuf buffer(root_.path());
    std::ostream out(&buffer);
    set_clock(5, 10, 30, 0, 0);
    out << "today" << std::endl;
    set_clock(6, 10, 20, 0, 0);
    out << "tomorrow" << std::endl;
    EXPECT_THAT(file("2024_12_05-10"), Lines("30:00:\\d{5,6}: today\n"));
    EXPECT_THAT(file("2024_12_06-10"), Lines("20:00:\\d{5,6}: tomorrow\n"));
}

TEST_F(LogFile, RestartWithinTheHourAppendsAndNothingBufferedIsLost)
{
    set_clock(5, 9, 1, 2, 0);
    {
        LogFileStreamBuf buffer(root_.path());
        std::ostream out(&buffer);
        out << "one" << std::endl;
        out << "unflushed\n";
    }
    LogFileStreamBuf buffer(root_.path());
    std::ostream out(&buffer);
    out << "two" << std::endl;
    EXPECT_THAT(file("2024_12_05-09"), Lines("01:02:\\d{5,6}: one\n01:02:\\d{5,6}: unflushed\n01:02:\\d{5,6}: two\n"));
}

}  // namespace
