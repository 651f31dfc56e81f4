#pragma once

// The TDM switch requests on "/dev/hal" as a test issues them through the device API.

#include "foundation/os/big_endian.h"
#include "foundation/os/device.h"

#include <array>
#include <cstdint>

namespace testsupport {

constexpr uint32_t switch_connect = 0x80084D02;
constexpr uint32_t switch_write = 0xC0084D04;
constexpr uint32_t switch_read = 0xC0084D05;

inline std::array<uint8_t, 8> switch_record(int32_t first, int32_t second)
{
    std::array<uint8_t, 8> record;
    BigEndian::put_i32(record.data(), 0, first);
    BigEndian::put_i32(record.data(), 4, second);
    return record;
}

inline int switch_connect_output(int fd, int32_t output, int32_t source)
{
    return Device::request_in(fd, switch_connect, switch_record(output, source));
}

inline int switch_write_byte(int fd, int32_t output, int32_t value)
{
    return Device::request_in(fd, switch_write, switch_record(output, value));
}

// The byte seen on a channel, or -1 with errno set.
inline int switch_read_byte(int fd, int32_t channel)
{
    std::array<uint8_t, 8> record = switch_record(channel, 255);
    if (Device::request_inout(fd, switch_read, record) < 0)
        return -1;
    return BigEndian::get_u32(record.data(), 4) & 0xFF;
}

}  // namespace testsupport
