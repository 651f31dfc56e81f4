#include "hardware/tonec_driver.h"

#include "foundation/os/device.h"
#include "foundation/reactor/event.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace Hardware {

void open_driver(Event& event, const char* path, int flags, const char* failure)
{
    Fd fd = Device::open(path, flags);
    if (!fd) {
        int error = errno;
        std::cerr << failure << ": " << std::strerror(error) << std::endl;
        return;
    }
    event.Schedule(fd, POLLIN);
    fd.close();
}

void read_records(Event& event, int fd, short revents, std::size_t size, const char* device,
                  const std::function<void(const uint8_t*)>& take)
{
    // A hang-up or error is read too: the read tells what it is.
    if (!(revents & (POLLIN | POLLHUP | POLLERR)))
        return;
    std::vector<uint8_t> record(size);
    for (;;) {
        ssize_t length = read(fd, record.data(), size);
        if (length < 0 && errno == EINTR)
            continue;
        if (length < 0) {
            if (errno != EAGAIN)
                std::cerr << "fail to read from " << device << ": " << std::strerror(errno) << std::endl;
            return;
        }
        if (length == 0) {
            std::cerr << "fail to read from " << device << ": end of file" << std::endl;
            event.Release();
            return;
        }
        if (static_cast<std::size_t>(length) < size) {
            std::cerr << "fail to read from " << device << ": short record of " << length << " bytes" << std::endl;
            return;
        }
        take(record.data());
    }
}

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
