#include "hardware/tonec_driver.h"

#include <cstring>
#include <iostream>

namespace Hardware {

std::ostream& operator<<(std::ostream& out, const ErrnoText& text)
{
    return out << " errno=\"" << std::strerror(text.error) << '"';
}

long long fit_field(long long value, long long low, long long high, const char* request, const char* field,
                    unsigned timeslot)
{
    if (value >= low && value <= high)
        return value;
    long long fitted = value < low ? low : high;
    std::cerr << request << ": " << field << '=' << value << " out of range, clamped to " << fitted
              << " timeslot=" << timeslot << std::endl;
    return fitted;
}

}  // namespace Hardware
