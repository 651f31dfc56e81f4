#pragma once

// Time base of the reactor: a wrapping 32-bit millisecond clock for timers, a wrapping
// microsecond clock for measurements, an optional cached time refreshed once per reactor
// pass, and small second/microsecond time values.

#include <cstdint>
#include <ctime>
#include <string>
#include <sys/select.h>

namespace Mux {

// Seconds as the system keeps them, so that dates past 2038 stay right.
struct timeval {
    time_t tv_sec = 0;
    int32_t tv_usec = 0;
};

// Milliseconds since the epoch, low 32 bits; compare two values by their signed difference.
uint32_t milliseconds();
// Microseconds since the epoch, low 32 bits; only differences are meaningful.
uint32_t microseconds();
time_t seconds();

// Stores the system time as the cached time that every reader then returns.
void mux_settimeofday();
// The cached time when set (non-zero), else the system time.
void mux_gettimeofday(Mux::timeval& tv);
int gettimeval(Mux::timeval& tv);

// Shifts every system time read by the given amount of microseconds. Tests use it to put the
// clock just before the 32-bit millisecond wrap or to move it back by hours while it keeps running.
void set_clock_offset_for_tests(int64_t usec);
// Forgets the cached time, so that reads follow the system clock again.
void clear_cached_time_for_tests();
// Sets the cached time to the given value, so that tests can time intervals exactly.
void set_cached_time_for_tests(const Mux::timeval& tv);

Mux::timeval make_from_usec(unsigned usec);
Mux::timeval make_from_msec(unsigned msec);
void timevalset(Mux::timeval& tv, unsigned long long ms);

void timevaladd(Mux::timeval& a, const Mux::timeval& b);
void timevalsub(Mux::timeval& a, const Mux::timeval& b);
void timevaladd2(const Mux::timeval& a, const Mux::timeval& b, Mux::timeval& out);
void timevalsub2(const Mux::timeval& a, const Mux::timeval& b, Mux::timeval& out);

// Milliseconds from start to end; 0 when end is earlier.
int64_t timevaldiff(const Mux::timeval& start, const Mux::timeval& end);
int timevalcompare(const Mux::timeval& a, const Mux::timeval& b);
// Local time as "%Y-%m-%d %H:%M:%S" followed by "." and six digits of microseconds.
std::string timevaltostring(const Mux::timeval& tv);

// A start time and a period: expired once more than the period has passed since the start.
struct timeval_timer {
    Mux::timeval start;
    int32_t period_ms = 0;

    void init(const Mux::timeval& start_time, int32_t period);
    void init_now(const Mux::timeval& start_time);
    bool is_expired(const Mux::timeval& now) const;
    void inc();
};

// A select() descriptor set with its highest descriptor (negative when empty).
struct Set {
    fd_set set;
    int32_t max = -1;

    Set();
    // False for a descriptor the set cannot hold (negative, or FD_SETSIZE and above).
    bool add(int fd);
    bool has(int fd) const;
};

int max_fd(const Set* a, const Set* b, const Set* c);
int select(Set& rd, Set& wr, Set& ex);
int select(Set& rd, Set& wr, Set& ex, const Mux::timeval& tv);
int select(Set& rd, Set& wr);
int select(Set& rd);
int select_rd(Set& rd, const Mux::timeval& tv);
int select_wr(Set& wr, const Mux::timeval& tv);

}  // namespace Mux
