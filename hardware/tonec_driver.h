#pragma once

// What the tone and DSP receiver services share in talking to their per-timeslot drivers: opening
// the device and reading its event records, the event ids under which detector features are
// switched, the errno part of a failure line, and values of the controller that must fit a
// narrower field of a driver record.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>

class Event;

namespace Hardware {

// Opens the driver's device and has event poll it for records; a failure is logged as
// "<failure>: <system error text>" and leaves the event without a device.
void open_driver(Event& event, const char* path, int flags, const char* failure);

// Reads the driver's records of `size` bytes from fd until none is left, handing each to take. A
// failed read and a short record end the pass; an end of file also stops the polling, which
// would otherwise report it for ever. Each is logged as "fail to read from <device>: ...".
void read_records(Event& event, int fd, short revents, std::size_t size, const char* device,
                  const std::function<void(const uint8_t*)>& take);

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
