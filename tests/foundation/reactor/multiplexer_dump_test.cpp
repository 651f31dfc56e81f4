#include "foundation/reactor/multiplexer.h"

#include "foundation/log/profile.h"
#include "foundation/reactor/clock.h"
#include "foundation/reactor/event.h"
#include "foundation/reactor/measure.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <sstream>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char golden[] =
    "dpc transition measurement (min/max/cur/counter): min=0 max=0 avg=0 counter=0\n"
    "event transition measurement (min/max/cur/counter): min=0 max=0 avg=0 counter=1\n"
    "timer transition measurement (min/max/cur/counter): min=0 max=0 avg=0 counter=0\n"
    "[dump.point]: min=3 max=9 avg=9 counter=3\n"
    "+----------------------------------------+------------------------------+----------+----------+-----+"
    "------------------------------------------------------------+\n"
    "|                  name                  |            events            |  count   | handler  | fd  |"
    "                          measure                           |\n"
    "+----------------------------------------+------------------------------+----------+----------+-----+"
    "------------------------------------------------------------+\n"
    "|          Writer::on_writable           |        POLLIN|POLLOUT        |    1     | attached | 60  |"
    "                min=0 max=0 avg=0 counter=0                 |\n"
    "|                 quiet                  |            POLLIN            |    0     |unattached| 61  |"
    "                min=0 max=0 avg=0 counter=0                 |\n"
    "+----------------------------------------+------------------------------+----------+----------+-----+"
    "------------------------------------------------------------+\n"
    "\n";

struct Writer {
    void on_writable(int, short) { multiplexer.terminate(); }
};

void advance_cached_time(Mux::timeval& now, int32_t usec)
{
    now.tv_usec += usec;
    Mux::set_cached_time_for_tests(now);
}

// Builds the scene of the golden text in a fresh process (the multiplexer's measures and the
// timing points are process-wide) and exits 0 when the dump matches it.
[[noreturn]] void dump_fresh_scene()
{
    Mux::timeval now;
    now.tv_sec = 1700000000;
    Mux::set_cached_time_for_tests(now);
    Profile::Point point("dump.point");
    for (int32_t usec : {5, 3, 9}) {
        point.begin();
        advance_cached_time(now, usec);
        point.end();
    }

    int writable[2], quiet[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, writable) != 0 || socketpair(AF_UNIX, SOCK_STREAM, 0, quiet) != 0)
        std::exit(2);
    // Occupy every descriptor below 60, so that the events' own duplicates get 60 and 61.
    int fd;
    do
        fd = open("/dev/null", O_RDONLY);
    while (fd >= 0 && fd < 59);

    Writer writer;
    Event first, second;
    first.Bind("Writer::on_writable", &Writer::on_writable, &writer);
    first.Schedule(writable[0], POLLIN | POLLOUT);
    second.Bind("quiet", &Writer::on_writable, &writer);
    second.UnBind();
    second.Schedule(quiet[0], POLLIN);
    multiplexer.run(false, false);

    std::ostringstream text;
    multiplexer.dump(text);
    if (text.str() != golden) {
        std::cerr << text.str();
        std::exit(1);
    }
    std::exit(0);
}

TEST(MultiplexerDumpTest, StatusTableMatchesTheGoldenText)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(dump_fresh_scene(), ::testing::ExitedWithCode(0), "");
}

TEST(MultiplexerDumpTest, PollEventAsTextNamesTheSetBits)
{
    EXPECT_EQ(PollEventAsText(0x5), "POLLIN|POLLOUT");
    EXPECT_EQ(PollEventAsText(0), "");
    EXPECT_EQ(PollEventAsText(0x7FF), "POLLIN|POLLPRI|POLLOUT|POLLERR|POLLHUP|POLLNVAL|POLLRDNORM|POLLRDBAND|"
                                      "POLLWRNORM|POLLWRBAND|POLLMSG");
    EXPECT_EQ(PollEventAsText(short(0x800 | 0x10)), "POLLHUP");
}

TEST(MeasureTest, IntervalAcrossTheMicrosecondWrapIsMeasuredWhole)
{
    // 2^32 microseconds pass every 71 minutes: start 2 µs before a wrap of the 32-bit count.
    const int64_t base = (1700000000LL * 1000000 / (1LL << 32) + 1) * (1LL << 32) - 2;
    auto at = [](int64_t usec) {
        Mux::timeval now;
        now.tv_sec = int32_t(usec / 1000000);
        now.tv_usec = int32_t(usec % 1000000);
        Mux::set_cached_time_for_tests(now);
    };
    Measure measure;
    at(base);
    measure.begin();
    at(base + 7);
    EXPECT_EQ(measure.end(), 7u);
    Mux::clear_cached_time_for_tests();
}

}  // namespace
