#include "foundation/log/log_file_stream_buf.h"
#include "foundation/reactor/clock.h"
#include "log_socket.h"
#include "support/temp_root.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ctime>
#include <ostream>
#include <regex>
#include <string>
#include <sys/time.h>

namespace {

// Moves the clock so that it now reads the given UTC time (December 2024).
void set_clock(int day, int hour, int minute, int second, int usec)
{
    std::tm date{};
    date.tm_year = 2024 - 1900;
    date.tm_mon = 11;
    date.tm_mday = day;
    date.tm_hour = hour;
    date.tm_min = minute;
    date.tm_sec = second;
    ::timeval now{};
    gettimeofday(&now, nullptr);
    Mux::set_clock_offset_for_tests(int64_t(timegm(&date)) * 1000000 + usec -
                                    (int64_t(now.tv_sec) * 1000000 + now.tv_usec));
}

MATCHER_P(Lines, pattern, "") { return std::regex_match(arg, std::regex(pattern)); }

TEST(LogFile, LinesArePrefixedAndGoToTheFileOfTheirHourAndARestartAppends)
{
    logtest::UtcZone utc;
    testsupport::TempRoot root;
    auto file = [&](const std::string& name) { return root.read_file("/" + name + ".log"); };
    Mux::clear_cached_time_for_tests();
    {
        LogFileStreamBuf buffer(root.path());
        std::ostream out(&buffer);
        set_clock(5, 10, 15, 30, 500000);
        out << std::string(40, 'a') << std::flush;
        out << "b\nsecond\n" << std::flush;
        set_clock(5, 10, 59, 59, 500000);
        out << "last" << std::endl;
        set_clock(5, 11, 0, 0, 200000);
        out << "next hour" << std::endl;
        // The same hour of the next day is another file.
        set_clock(6, 10, 20, 0, 0);
        out << "tomorrow" << std::endl;
        out << "unflushed\n";
    }
    LogFileStreamBuf buffer(root.path());
    std::ostream out(&buffer);
    out << "restarted" << std::endl;
    Mux::set_clock_offset_for_tests(0);

    EXPECT_THAT(file("2024_12_05-10"),
                Lines("15:30:\\d{5,6}: a{40}b\n15:30:\\d{5,6}: second\n59:59:\\d{5,6}: last\n"));
    EXPECT_THAT(file("2024_12_05-11"), Lines("00:00:\\d{5,6}: next hour\n"));
    EXPECT_THAT(file("2024_12_06-10"),
                Lines("20:00:\\d{5,6}: tomorrow\n20:00:\\d{5,6}: unflushed\n20:00:\\d{5,6}: restarted\n"));
}

}  // namespace
