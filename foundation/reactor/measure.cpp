#include "foundation/reactor/measure.h"

#include "foundation/reactor/clock.h"

#include <ostream>

void Measure::begin() { start_ = Mux::microseconds(); }

uint32_t Measure::end()
{
    uint32_t d = Mux::microseconds() - start_;
    if (first_) {
        min_ = max_ = d;
        counter_ = 1;
        first_ = false;
    } else {
        ++counter_;
        if (d < min_)
            min_ = d;
        if (d > max_)
            max_ = d;
    }
    current_ = d;
    return d;
}

void Measure::put(std::ostream& out) const
{
    out << "min=" << min_ << " max=" << max_ << " avg=" << current_ << " counter=" << counter_;
}

std::ostream& operator<<(std::ostream& out, const Measure& measure)
{
    measure.put(out);
    return out;
}
