#pragma once

// Keeps a listener from spinning when accept() finds no descriptor left: the peer stays pending
// and the listener readable, so the listener is not watched for a second, then tried again.

#include "foundation/reactor/event.h"
#include "foundation/reactor/timer.h"

class AcceptPause {
public:
    static constexpr unsigned pause_ms = 1000;

    // After a failed accept(): when errno says the process or the system has no descriptor left,
    // writes one line after the header on the error stream (when verbose) and stops watching the
    // listener for pause_ms.
    void Check(Event& listener, const char* header, bool verbose);
    // Drops a pause under way, for a listener that is closed.
    void Cancel() { timer_.reset(); }

private:
    void Resume();

    Event* listener_ = nullptr;
    short events_ = 0;
    Timer timer_;
};
