#pragma once

// What the tone and DSP receiver services share in talking to their per-timeslot drivers: the
// event ids under which detector features are switched, the errno part of a failure line, and
// values of the controller that must fit a narrower field of a driver record.

#include <cstdint>
#include <ostream>

namespace Hardware {

// Each enable of a detector feature carries a fresh id, so that an event raised under an earlier
// enable is told apart. Ids count from 1; after 4294967295 comes 1 again, never 0.
class EventIdCounter {
public:
    explicit EventIdCounter(uint32_t last = 0) : last_(last) {}
    uint32_t next()
    {
        if (++last_ == 0)
            last_ = 1;
        return last_;
    }

private:
    uint32_t last_;
};

// ` errno="<system error text>"`, the end of every failed-request line.
struct ErrnoText {
    int error;
};
std::ostream& operator<<(std::ostream& out, const ErrnoText& text);

// The value clamped into [low, high]. A value outside is reported on the error stream with the
// request, the field and the time slot, since the driver would otherwise see a different number.
long long fit_field(long long value, long long low, long long high, const char* request, const char* field,
                    unsigned timeslot);

}  // namespace Hardware
