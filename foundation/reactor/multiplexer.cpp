#include "foundation/reactor/multiplexer.h"

#include "foundation/log/profile.h"
#include "foundation/os/device.h"
#include "foundation/reactor/clock.h"
#include "foundation/reactor/dpc.h"
#include "foundation/reactor/timer_pool_plugin.h"
#include "foundation/util/ext_table.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>

#include <fcntl.h>
#include <unistd.h>

// Built before and destroyed after the static objects of every other unit, which may attach,
// arm or deactivate themselves while they are built or destroyed.
Multiplexer multiplexer __attribute__((init_priority(101)));

namespace {

// Wait value of "no timer pending" and "no plug-in limit".
constexpr uint32_t kNoLimit = 0x7FFFFFFF;
// A first timer further ahead than two hours means the system clock was set back.
constexpr uint32_t kMaxTimerWaitMs = 7200000;
constexpr uint32_t kClockBackWaitMs = 1000;
// With the watchdog open no poll waits longer, and it is pinged at most this often.
constexpr int kWatchdogPeriodMs = 1000;

bool write_text(int fd, const char* text)
{
    ssize_t length = ssize_t(strlen(text));
    ssize_t written = ::write(fd, text, size_t(length));
    if (written >= 0 && written != length)
        errno = EIO;
    return written == length;
}

}  // namespace

// A walk over the plug-ins in progress: those still to be asked in this pass. A plug-in unhooked
// during the walk leaves both lists, so it is not asked any more.
class Multiplexer::TimerPollNotify {
public:
    explicit TimerPollNotify(std::vector<TimerPoolPlugin*>& plugins) : plugins_(plugins) { to_ask_.swap(plugins_); }

    TimerPoolPlugin* next()
    {
        while (next_ < to_ask_.size()) {
            if (TimerPoolPlugin* plugin = to_ask_[next_++])
                return plugin;
        }
        return nullptr;
    }

    void removeTimerPoolPlugin(TimerPoolPlugin* plugin)
    {
        plugins_.erase(std::remove(plugins_.begin(), plugins_.end(), plugin), plugins_.end());
        std::replace(to_ask_.begin() + long(next_), to_ask_.end(), plugin, static_cast<TimerPoolPlugin*>(nullptr));
    }

private:
    std::vector<TimerPoolPlugin*>& plugins_;
    std::vector<TimerPoolPlugin*> to_ask_;
    size_t next_ = 0;
};

void Multiplexer::attach(EventHandler* handler)
{
    if (event_exists(handler)) {
        std::cerr << "duplicate multiplexer attach \"" << handler->event_name() << "\" ignored." << std::endl;
        return;
    }
    pending_.push_back(handler);
}

void Multiplexer::detach(EventHandler* handler)
{
    for (F_dual_list<EventHandler>* list : {&pending_, &serviced_, &active_}) {
        if (list->contains(handler)) {
            list->remove(handler);
            forget_polled(handler);
            return;
        }
    }
    std::cerr << "indvalid Multiplexer::detach " << handler->event_name() << std::endl;
}

bool Multiplexer::event_exists(EventHandler* handler) const
{
    return pending_.contains(handler) || serviced_.contains(handler) || active_.contains(handler);
}

void Multiplexer::forget_polled(EventHandler* handler)
{
    // A handler detached (and maybe deleted) between the rebuild of the poll array and the
    // poll result must not receive its entry's result.
    if (poll_pending_)
        std::replace(polled_.begin(), polled_.end(), handler, static_cast<EventHandler*>(nullptr));
}

void Multiplexer::attach(Dpc* dpc)
{
    auto at = std::lower_bound(dpcs_.begin(), dpcs_.end(), dpc, std::less<Dpc*>());
    if (at == dpcs_.end() || *at != dpc)
        dpcs_.insert(at, dpc);
}

void Multiplexer::dettach(Dpc* dpc)
{
    dpcs_.erase(std::remove(dpcs_.begin(), dpcs_.end(), dpc), dpcs_.end());
    std::replace(dpc_run_.begin() + long(dpc_run_next_), dpc_run_.end(), dpc, static_cast<Dpc*>(nullptr));
}

bool Multiplexer::timer_listed(const TimerEvent* timer) const
{
    // Timer events are listed nowhere else, so their links tell whether the timer list holds them.
    return timer == timers_.head() || timer->prev != nullptr;
}

void Multiplexer::set(TimerEvent* timer)
{
    reset(timer);
    timers_.insert_to_tail_by_grown(timer);
}

void Multiplexer::reset(TimerEvent* timer)
{
    if (timer_listed(timer))
        timers_.remove(timer);
}

void Multiplexer::hook(TimerPoolPlugin* plugin) { plugins_.push_back(plugin); }

void Multiplexer::unhook(TimerPoolPlugin* plugin)
{
    if (plugin_walk_)
        plugin_walk_->removeTimerPoolPlugin(plugin);
    else
        plugins_.erase(std::remove(plugins_.begin(), plugins_.end(), plugin), plugins_.end());
}

void Multiplexer::run(bool use_watchdog, bool live_time)
{
    stop_ = 0;
    last_ping_ = 0;
    if (use_watchdog)
        open_watchdog();
    if (!live_time)
        Mux::mux_settimeofday();
    do
        pass(live_time);
    while (!stop_);
    Device::flush_posted();
    std::clog << "Mux: terminating..." << std::endl;
    close_watchdog();
}

void Multiplexer::pass(bool live_time)
{
    // Two statements: the timer step must run before the plug-in step.
    uint32_t wait = timers_schedule();
    wait = std::min(wait, uint32_t(timerPoll_schedule()));
    int timeout = wait == kNoLimit ? -1 : int(wait);

    active_.append(pending_);
    // terminate() from a timer or a deferred call: nothing is left to wait for.
    if (stop_)
        return;
    if (timeout == -1 && active_.empty()) {
        std::cerr << "multiplexer: system hang detected!!!" << std::endl;
        std::abort();
    }
    if (watchdog_ >= 0 && (timeout == -1 || timeout > kWatchdogPeriodMs))
        timeout = kWatchdogPeriodMs;

    rebuild_poll_array();
    execute_dpc();
    if (stop_) {
        poll_pending_ = false;
        return;
    }

    int ready = poll_descriptors(timeout);
    int error = errno;
    if (!live_time)
        Mux::mux_settimeofday();
    if (watchdog_ >= 0) {
        uint32_t now = Mux::milliseconds();
        if (last_ping_ == 0 || now < last_ping_ || now - last_ping_ >= uint32_t(kWatchdogPeriodMs)) {
            last_ping_ = now;
            resetWD();
        }
    }

    if (ready <= 0) {
        poll_pending_ = false;
        if (ready == 0 || error == EINTR)
            return;
        std::cerr << "multiplexer poll failed: " << strerror(error) << std::endl;
        std::abort();
    }

    for (size_t i = 0; i < polled_.size(); ++i) {
        if (polled_[i])
            polled_[i]->revents_ = poll_array_[i].revents;
    }
    poll_pending_ = false;
    dispatch();
}

int Multiplexer::poll_descriptors(int timeout)
{
    for (;;) {
        int posted = Device::posted_wait_ms();
        if (posted == 0) {
            Device::flush_posted();
            posted = -1;
        }
        if (posted < 0 || (timeout >= 0 && timeout <= posted))
            return ::poll(poll_array_.data(), poll_array_.size(), timeout);
        int ready = ::poll(poll_array_.data(), poll_array_.size(), posted);
        if (ready != 0)
            return ready;
        if (timeout > 0)
            timeout -= posted;
    }
}

uint32_t Multiplexer::timers_schedule()
{
    uint32_t now = Mux::milliseconds();
    while (!timers_.empty() && int32_t(now - timers_.head()->due_) >= 0) {
        timer_measure_.begin();
        timers_.remove_from_head()->fire();
        timer_measure_.end();
    }

    execute_dpc();

    // Without a pending timer there is no limit; a wait of 0 (a timer armed for now by a
    // deferred call) polls without waiting.
    if (timers_.empty())
        return kNoLimit;
    uint32_t first = timers_.head()->due_;
    uint32_t wait = first - now;
    if (wait <= kMaxTimerWaitMs)
        return wait;

    std::cerr << "******** RUNTIME ERROR CONDITION *************"
              << "Multiplexer::timers_schedule() invalid wait time detected!" << std::endl
              << "now = " << now << std::endl
              << "first = " << first << std::endl
              << "count = " << timers_.count() << std::endl;
    for (TimerEvent* timer = timers_.head(); timer; timer = F_dual_list<TimerEvent>::next(timer))
        timer->due_ = now + kClockBackWaitMs;
    return kClockBackWaitMs;
}

int32_t Multiplexer::timerPoll_schedule()
{
    if (plugins_.empty())
        return int32_t(kNoLimit);
    int32_t result = int32_t(kNoLimit);
    TimerPollNotify walk(plugins_);
    plugin_walk_ = &walk;
    while (TimerPoolPlugin* plugin = walk.next()) {
        plugins_.push_back(plugin);
        int32_t ms = plugin->next_pass_ms();
        if (ms >= 0 && ms < result)
            result = ms;
    }
    plugin_walk_ = nullptr;
    return result;
}

void Multiplexer::execute_dpc()
{
    dpc_run_.assign(dpcs_.begin(), dpcs_.end());
    dpc_run_next_ = 0;
    while (dpc_run_next_ < dpc_run_.size()) {
        Dpc* dpc = dpc_run_[dpc_run_next_++];
        if (!dpc)
            continue;
        dpc_measure_.begin();
        if (DpcHandler* handler = dpc->handler())
            handler->Invoke();
        dpc_measure_.end();
    }
    dpc_run_.clear();
    dpc_run_next_ = 0;
}

void Multiplexer::rebuild_poll_array()
{
    if (poll_array_.size() != active_.size()) {
        poll_array_.resize(active_.size());
        polled_.resize(active_.size());
    }
    size_t i = 0;
    for (EventHandler* handler = active_.head(); handler; handler = F_dual_list<EventHandler>::next(handler), ++i) {
        poll_array_[i].revents = 0;
        handler->shedule_event(poll_array_[i]);
        polled_[i] = handler;
    }
    poll_pending_ = true;
}

void Multiplexer::dispatch()
{
    while (!stop_ && !active_.empty()) {
        EventHandler* handler = active_.remove_from_head();
        serviced_.push_back(handler);
        event_measure_.begin();
        handler->svc_event();
        event_measure_.end();
    }
    // Handlers left unserved by terminate() follow the served ones, so none drops out of the lists.
    serviced_.append(active_);
    active_.merge(serviced_);
}

void Multiplexer::open_watchdog()
{
    Fd fd = Device::open("/dev/misc/gw-wd", O_WRONLY);
    if (!fd) {
        std::cerr << "Mux: fail to open watchdog: " << strerror(errno) << std::endl;
        return;
    }
    if (!write_text(fd, "START")) {
        std::cerr << "Mux: fail to activate watchdog: " << strerror(errno) << std::endl;
        fd.close();
        return;
    }
    watchdog_ = fd;
}

void Multiplexer::close_watchdog()
{
    if (watchdog_ < 0)
        return;
    if (!write_text(watchdog_, "STOP"))
        std::cerr << "Mux: stop watchdog failed: " << strerror(errno) << std::endl;
    Device::forget(watchdog_);
    ::close(watchdog_);
    watchdog_ = -1;
}

void Multiplexer::resetWD()
{
    if (watchdog_ >= 0 && !write_text(watchdog_, "PING"))
        std::cerr << "Mux: ping watchdog failed: " << strerror(errno) << std::endl;
}

void Multiplexer::dump(std::ostream& out) const
{
    out << "dpc transition measurement (min/max/cur/counter): " << dpc_measure_ << '\n'
        << "event transition measurement (min/max/cur/counter): " << event_measure_ << '\n'
        << "timer transition measurement (min/max/cur/counter): " << timer_measure_ << '\n';
    Profile::dump(out);

    ext::Table table(40, 30, 10, 10, 5, 60);
    ext::Table::Sentry(out, table) << ext::delimeter;
    ext::Table::Sentry(out, table) << ext::beginrow << "name" << ext::nextrow << "events" << ext::nextrow << "count"
                                   << ext::nextrow << "handler" << ext::nextrow << "fd" << ext::nextrow << "measure"
                                   << ext::nextrow;
    ext::Table::Sentry(out, table) << ext::delimeter;
    for (EventHandler* handler = active_.head(); handler; handler = F_dual_list<EventHandler>::next(handler)) {
        const Event* event = handler->is_named() ? dynamic_cast<const Event*>(handler) : nullptr;
        if (!event)
            continue;
        ext::Table::Sentry(out, table) << ext::beginrow << event->name() << ext::nextrow
                                       << PollEventAsText(event->events()) << ext::nextrow << event->count()
                                       << ext::nextrow << (event->handler() ? "attached" : "unattached")
                                       << ext::nextrow << event->fd().get() << ext::nextrow << event->measure()
                                       << ext::nextrow;
    }
    ext::Table::Sentry(out, table) << ext::delimeter;
    out << '\n';
}

std::string PollEventAsText(short mask)
{
    static const struct {
        short bit;
        const char* name;
    } names[] = {
        {0x1, "POLLIN"},       {0x2, "POLLPRI"},      {0x4, "POLLOUT"},     {0x8, "POLLERR"},
        {0x10, "POLLHUP"},     {0x20, "POLLNVAL"},    {0x40, "POLLRDNORM"}, {0x80, "POLLRDBAND"},
        {0x100, "POLLWRNORM"}, {0x200, "POLLWRBAND"}, {0x400, "POLLMSG"},
    };
    std::string text;
    for (const auto& name : names) {
        if (mask & name.bit)
            text.append("|").append(name.name);
    }
    return text.empty() ? text : text.substr(1);
}
