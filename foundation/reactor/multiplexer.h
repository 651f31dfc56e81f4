#pragma once

// The reactor: one poll() loop that serves timers, descriptor events and deferred calls, feeds
// the board's hardware watchdog and prints its status table. The process has one global
// instance, `multiplexer`; it owns nothing it calls.

#include "foundation/reactor/event.h"
#include "foundation/reactor/intrusive_list.h"
#include "foundation/reactor/measure.h"
#include "foundation/reactor/timer.h"

#include <csignal>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include <poll.h>

class Dpc;
class TimerPoolPlugin;

class Multiplexer {
public:
    Multiplexer() = default;
    Multiplexer(const Multiplexer&) = delete;
    Multiplexer& operator=(const Multiplexer&) = delete;

    void attach(EventHandler* handler);
    void detach(EventHandler* handler);
    bool event_exists(EventHandler* handler) const;

    void attach(Dpc* dpc);
    void dettach(Dpc* dpc);

    void set(TimerEvent* timer);
    void reset(TimerEvent* timer);

    void hook(TimerPoolPlugin* plugin);
    void unhook(TimerPoolPlugin* plugin);

    // Runs passes until terminate(). use_watchdog opens and feeds "/dev/misc/gw-wd";
    // live_time false refreshes the cached time once per pass, so that every read between two
    // polls sees one value, true leaves every read to the system clock.
    void run(bool use_watchdog, bool live_time);
    // Ends the loop after the current pass; safe from a signal handler.
    void terminate() { stop_ = 1; }
    void dump(std::ostream& out) const;
    // Writes "PING" to the watchdog when it is open.
    void resetWD();

private:
    class TimerPollNotify;

    void pass(bool live_time);
    uint32_t timers_schedule();
    int32_t timerPoll_schedule();
    void execute_dpc();
    void rebuild_poll_array();
    // poll() on the array. Posted device requests that have waited their bound leave meanwhile; a
    // wake-up on their account alone is no pass, so the deferred calls that post them run no more
    // often than the pass's own events and timers make them.
    int poll_descriptors(int timeout);
    void dispatch();
    void forget_polled(EventHandler* handler);
    void open_watchdog();
    void close_watchdog();
    bool timer_listed(const TimerEvent* timer) const;

    F_sorted_list<TimerEvent> timers_;
    F_dual_list<EventHandler> pending_;
    F_dual_list<EventHandler> serviced_;
    F_dual_list<EventHandler> active_;
    // The poll array and, entry for entry, the handler that filled it (null once that handler
    // was detached before the poll result came back).
    std::vector<pollfd> poll_array_;
    std::vector<EventHandler*> polled_;
    bool poll_pending_ = false;
    std::vector<Dpc*> dpcs_;
    std::vector<Dpc*> dpc_run_;
    size_t dpc_run_next_ = 0;
    volatile sig_atomic_t stop_ = 0;
    Measure dpc_measure_;
    Measure event_measure_;
    Measure timer_measure_;
    std::vector<TimerPoolPlugin*> plugins_;
    TimerPollNotify* plugin_walk_ = nullptr;
    int watchdog_ = -1;
    uint32_t last_ping_ = 0;
};

extern Multiplexer multiplexer;

// The names of the set poll bits joined by "|", e.g. "POLLIN|POLLOUT"; empty for 0.
std::string PollEventAsText(short mask);
