#include "foundation/reactor/clock.h"

#include <cstdio>
#include <ctime>
#include <sys/time.h>

namespace Mux {
namespace {

Mux::timeval cached;
int64_t clock_offset_usec = 0;

bool is_zero(const Mux::timeval& tv) { return tv.tv_sec == 0 && tv.tv_usec == 0; }

int64_t system_usec()
{
    ::timeval now{};
    ::gettimeofday(&now, nullptr);
    return int64_t(now.tv_sec) * 1000000 + now.tv_usec + clock_offset_usec;
}

Mux::timeval system_time()
{
    int64_t usec = system_usec();
    Mux::timeval tv;
    tv.tv_sec = time_t(usec / 1000000);
    tv.tv_usec = int32_t(usec % 1000000);
    return tv;
}

int64_t total_usec(const Mux::timeval& tv) { return int64_t(tv.tv_sec) * 1000000 + tv.tv_usec; }

// The cached time when set, else the system time, in microseconds: the clock of every timer and
// measurement, read several times per reactor pass, so without a detour through a timeval.
int64_t now_usec() { return is_zero(cached) ? system_usec() : total_usec(cached); }

int do_select(Set* rd, Set* wr, Set* ex, const Mux::timeval* tv)
{
    ::timeval t{};
    if (tv) {
        t.tv_sec = tv->tv_sec;
        t.tv_usec = tv->tv_usec;
    }
    auto pick = [](Set* s) { return s && s->max >= 0 ? &s->set : nullptr; };
    return ::select(max_fd(rd, wr, ex) + 1, pick(rd), pick(wr), pick(ex), tv ? &t : nullptr);
}

}  // namespace

uint32_t milliseconds() { return uint32_t(now_usec() / 1000); }

uint32_t microseconds() { return uint32_t(now_usec()); }

time_t seconds()
{
    Mux::timeval tv;
    mux_gettimeofday(tv);
    return tv.tv_sec;
}

void mux_settimeofday() { cached = system_time(); }

void mux_gettimeofday(Mux::timeval& tv) { tv = is_zero(cached) ? system_time() : cached; }

int gettimeval(Mux::timeval& tv)
{
    mux_gettimeofday(tv);
    return 0;
}

void set_clock_offset_for_tests(int64_t usec) { clock_offset_usec = usec; }

void clear_cached_time_for_tests() { cached = Mux::timeval(); }

void set_cached_time_for_tests(const Mux::timeval& tv) { cached = tv; }

Mux::timeval make_from_usec(unsigned usec)
{
    Mux::timeval tv;
    tv.tv_sec = time_t(usec / 1000000);
    tv.tv_usec = int32_t(usec % 1000000);
    return tv;
}

Mux::timeval make_from_msec(unsigned msec)
{
    Mux::timeval tv;
    tv.tv_sec = time_t(msec / 1000);
    tv.tv_usec = int32_t(msec % 1000 * 1000);
    return tv;
}

void timevalset(Mux::timeval& tv, unsigned long long ms)
{
    tv.tv_sec = time_t(ms / 1000);
    tv.tv_usec = int32_t(ms % 1000 * 1000);
}

void timevaladd2(const Mux::timeval& a, const Mux::timeval& b, Mux::timeval& out)
{
    int32_t usec = a.tv_usec + b.tv_usec;
    out.tv_sec = a.tv_sec + b.tv_sec + usec / 1000000;
    out.tv_usec = usec % 1000000;
}

void timevalsub2(const Mux::timeval& a, const Mux::timeval& b, Mux::timeval& out)
{
    int32_t m = a.tv_usec - b.tv_usec + 1000000;
    out.tv_sec = a.tv_sec - b.tv_sec - 1 + m / 1000000;
    out.tv_usec = m % 1000000;
}

void timevaladd(Mux::timeval& a, const Mux::timeval& b) { timevaladd2(a, b, a); }

void timevalsub(Mux::timeval& a, const Mux::timeval& b) { timevalsub2(a, b, a); }

int64_t timevaldiff(const Mux::timeval& start, const Mux::timeval& end)
{
    if (timevalcompare(end, start) < 0)
        return 0;
    return int64_t(end.tv_sec - start.tv_sec) * 1000 + (end.tv_usec - start.tv_usec) / 1000;
}

int timevalcompare(const Mux::timeval& a, const Mux::timeval& b)
{
    if (a.tv_sec != b.tv_sec)
        return a.tv_sec < b.tv_sec ? -1 : 1;
    if (a.tv_usec != b.tv_usec)
        return a.tv_usec < b.tv_usec ? -1 : 1;
    return 0;
}

std::string timevaltostring(const Mux::timeval& tv)
{
    struct tm local{};
    char date[64] = "";
    if (localtime_r(&tv.tv_sec, &local))
        strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S", &local);
    char text[96];
    snprintf(text, sizeof text, "%s.%06ld", date, long(tv.tv_usec));
    return text;
}

void timeval_timer::init(const Mux::timeval& start_time, int32_t period)
{
    start = start_time;
    period_ms = period;
}

void timeval_timer::init_now(const Mux::timeval& start_time) { start = start_time; }

bool timeval_timer::is_expired(const Mux::timeval& now) const
{
    return period_ms >= 1 && timevaldiff(start, now) > period_ms;
}

void timeval_timer::inc() { timevaladd(start, make_from_msec(unsigned(period_ms))); }

Set::Set() { FD_ZERO(&set); }

bool Set::add(int fd)
{
    if (fd < 0 || fd >= FD_SETSIZE)
        return false;
    FD_SET(fd, &set);
    if (fd > max)
        max = fd;
    return true;
}

bool Set::has(int fd) const { return fd >= 0 && fd < FD_SETSIZE && FD_ISSET(fd, &set); }

int max_fd(const Set* a, const Set* b, const Set* c)
{
    int32_t highest = -1;
    for (const Set* s : {a, b, c})
        if (s && s->max > highest)
            highest = s->max;
    return highest;
}

int select(Set& rd, Set& wr, Set& ex) { return do_select(&rd, &wr, &ex, nullptr); }
int select(Set& rd, Set& wr, Set& ex, const Mux::timeval& tv) { return do_select(&rd, &wr, &ex, &tv); }
int select(Set& rd, Set& wr) { return do_select(&rd, &wr, nullptr, nullptr); }
int select(Set& rd) { return do_select(&rd, nullptr, nullptr, nullptr); }
int select_rd(Set& rd, const Mux::timeval& tv) { return do_select(&rd, nullptr, nullptr, &tv); }
int select_wr(Set& wr, const Mux::timeval& tv) { return do_select(nullptr, &wr, nullptr, &tv); }

}  // namespace Mux
