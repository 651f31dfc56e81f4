#pragma once

// The board's character devices ("/dev/hal", "/dev/misc/gw-wd", ...), reached only through here
// so that the same code drives the board's drivers or the board emulator.
//
// On the board these are open(2) and ioctl(2). When "/dev/board" (a fixed path, so under
// TOVRASEL_ROOT) is a listening socket, the board emulator answers instead: an open gives one end
// of a socket pair on which read, write and poll keep one record per call, and driver requests
// travel over this process's connection to the emulator. Closing the last duplicate of a device's
// descriptor closes the device. Like the rest of the process, this is for one thread.

#include "foundation/os/fd.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace Device {

// Opens a device by its board path (mapped with fixed_path); the descriptor is close-on-exec.
// Returns a negative Fd with errno set on failure.
Fd open(const char* path, int flags);

// Driver requests. Each names the literal 32-bit code the board's driver expects and is typed by
// how its argument travels, because the codes' direction bits cannot be trusted. Each returns the
// driver's result, or -1 with errno set.
int request(int fd, uint32_t code);                                 // no argument
int request_value(int fd, uint32_t code, uint32_t value);           // an integer passed by value
int request_in(int fd, uint32_t code, const uint8_t* record, size_t size);  // a record passed in
int request_inout(int fd, uint32_t code, uint8_t* record, size_t size);     // passed in and filled

template <size_t N>
int request_in(int fd, uint32_t code, const std::array<uint8_t, N>& record)
{
    return request_in(fd, code, record.data(), N);
}

// A record passed in whose result nobody reads (the TDM switch's refresh). On the board it is the
// same request. On the emulator it waits with the other posted ones, across reactor passes, and
// they leave together in one message: when the message is full, before the next ordinary request
// or open, before one of their devices is closed, at flush_posted(), or once the first of them has
// waited max_posted_wait_ms (the reactor sees to that through posted_wait_ms()). So the emulator
// still sees every request in the order made, and a busy daemon wakes it once for many runs. It
// gets no answer.
void post_in(int fd, uint32_t code, const uint8_t* record, size_t size);
template <size_t N>
void post_in(int fd, uint32_t code, const std::array<uint8_t, N>& record)
{
    post_in(fd, code, record.data(), N);
}
// Posts `count` requests of one code on one device, their records of `size` bytes one after the
// other: as many post_in() in that order, for about the cost of one on the emulator.
void post_each_in(int fd, uint32_t code, const uint8_t* records, size_t size, size_t count);
// Posts `count` requests of one code on one device whose records are `record` (4 to 4096 bytes)
// with the leading 32-bit field (big-endian) one higher each, as the switch's refresh walks its
// outputs: as many post_in() in that order, for a few octets on the emulator whatever the count.
void post_counting_in(int fd, uint32_t code, const uint8_t* record, size_t size, size_t count);
// Each message wakes the emulator, which on a virtual machine costs the sender tens of
// microseconds when it wakes another core and unsettles where the scheduler keeps the daemon and
// its controller for the next round trips; nothing waits for posted requests meanwhile.
constexpr int max_posted_wait_ms = 20;
// Sends the posted requests now.
void flush_posted();
// Milliseconds, rounded up, until the posted requests must leave: 0 when they must leave now, -1
// when none waits.
int posted_wait_ms();

// The descriptor is being closed: the requests posted so far leave first, and a later descriptor
// of that number may be another device.
void forget(int fd);

template <size_t N>
int request_inout(int fd, uint32_t code, std::array<uint8_t, N>& record)
{
    return request_inout(fd, code, record.data(), N);
}

// A request on a network interface whose settings travel behind a pointer: SIOCWANDEV of the
// generic-HDLC interfaces, with the settings type and a buffer of `size` bytes that the driver may
// fill. On the board an ioctl on the socket `fd` for the interface `name`; on the emulator a request
// on the device named like the interface, which answers for it. Returns like the other requests.
int interface_request(int fd, uint32_t code, const char* name, uint32_t type, uint8_t* buffer, size_t size);

}  // namespace Device
