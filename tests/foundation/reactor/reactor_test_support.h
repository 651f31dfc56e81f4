#pragma once

// Helpers of the reactor tests: the global multiplexer is shared, so every test leaves it as it
// found it (no handler, timer or deferred call left behind) and restores the clock.

#include "foundation/reactor/clock.h"
#include "foundation/reactor/multiplexer.h"
#include "foundation/reactor/timer.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>

namespace reactortest {

// Collects what is written to a standard stream while it lives.
class CaptureStream {
public:
    explicit CaptureStream(std::ostream& stream) : stream_(stream), saved_(stream.rdbuf(text_.rdbuf())) {}
    ~CaptureStream() { stream_.rdbuf(saved_); }
    std::string text() const { return text_.str(); }

private:
    std::ostream& stream_;
    std::ostringstream text_;
    std::streambuf* saved_;
};

class ReactorTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        Mux::set_clock_offset_for_tests(0);
        Mux::clear_cached_time_for_tests();
    }

    // Runs the loop with a guard that ends it, as a failure, when the test does not within
    // limit_ms.
    void run_guarded(unsigned limit_ms = 20000, bool use_watchdog = false)
    {
        Timer guard;
        guard.set(limit_ms, &ReactorTest::guard_expired, this);
        multiplexer.run(use_watchdog, true);
    }

private:
    void guard_expired()
    {
        ADD_FAILURE() << "the reactor was not terminated in time";
        multiplexer.terminate();
    }
};

}  // namespace reactortest
