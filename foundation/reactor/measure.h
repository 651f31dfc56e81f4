#pragma once

// Duration statistics in microseconds on the wrapping Mux::microseconds() scale.

#include <cstdint>
#include <iosfwd>

class Measure {
public:
    void begin();
    // Ends the interval started by begin() and returns its length.
    uint32_t end();
    // "min=" min " max=" max " avg=" last interval " counter=" counter, no end of line.
    void put(std::ostream& out) const;

    uint32_t min() const { return min_; }
    uint32_t max() const { return max_; }
    uint32_t current() const { return current_; }
    uint32_t counter() const { return counter_; }

private:
    uint32_t min_ = 0;
    uint32_t max_ = 0;
    uint32_t current_ = 0;
    bool first_ = true;
    uint32_t start_ = 0;
    uint32_t counter_ = 0;
};

std::ostream& operator<<(std::ostream& out, const Measure& measure);
