#pragma once

// A hook that shortens the reactor's poll wait: while hooked, every pass asks it how many
// milliseconds may pass before it needs the next pass.

#include <cstdint>

class TimerPoolPlugin {
public:
    TimerPoolPlugin() = default;
    TimerPoolPlugin(const TimerPoolPlugin&) = delete;
    TimerPoolPlugin& operator=(const TimerPoolPlugin&) = delete;
    virtual ~TimerPoolPlugin() { timerUnhook(); }

    // Milliseconds until the next pass is needed (0: poll without waiting); negative for no
    // limit.
    virtual int32_t next_pass_ms() = 0;

    void timerHook();
    void timerUnhook();
    bool hooked() const { return hooked_; }

private:
    bool hooked_ = false;
};
