#include "signalling/slots/mcc_channel.h"

#include "foundation/os/big_endian.h"
#include "foundation/os/device.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iostream>

namespace MccChannel {

Fd allocate(uint32_t type, const char* header, int& timeslot)
{
    Fd fd = Device::open("/dev/mcc/ctl", O_RDWR | O_NONBLOCK);
    if (!fd) {
        int error = errno;
        std::cerr << header << "fail to open MCC device: " << std::strerror(error) << std::endl;
        return fd;
    }
    std::array<uint8_t, 20> record{};
    BigEndian::put_u32(record.data(), 0, type);
    BigEndian::put_u32(record.data(), 4, 512);
    BigEndian::put_u32(record.data(), 12, 1);
    BigEndian::put_u32(record.data(), 16, 1);
    if (Device::request_in(fd, allocate_code, record) < 0) {
        int error = errno;
        std::cerr << header << "MCC_ALLOCATE fail: " << std::strerror(error) << std::endl;
        fd.close();
        return fd;
    }
    // A channel the switch cannot reach is of no use to a slot.
    timeslot = Device::request(fd, timeslot_code);
    if (timeslot < 0) {
        int error = errno;
        std::cerr << header << "MCC_TIMESLOT fail: " << std::strerror(error) << std::endl;
        fd.close();
    }
    return fd;
}

}  // namespace MccChannel
