#pragma once

// A channel of the channel controller "/dev/mcc/ctl" for the signalling slots that drive its
// descriptor themselves (the ISDN slot and the channel-controller data slot): an open of the device
// becomes one channel with MCC_ALLOCATE, MCC_TIMESLOT answers its switch channel, and closing the
// last duplicate of the descriptor gives the channel back.

#include "foundation/os/fd.h"

#include <cstdint>

namespace MccChannel {

constexpr uint32_t allocate_code = 0x40144D00;  // five words: type, 512, 0, 1, 1
constexpr uint32_t timeslot_code = 0x20004D02;  // no argument; the result is the switch channel
constexpr uint32_t counts_code = 0x80104D03;    // four words filled: free data, BRI, transparent channels

// Controller channel types.
enum Type : uint32_t { data = 0, bri = 1, transparent = 2, ss7 = 3 };

// Opens the device non-blocking, allocates a channel of the type on it and sets `timeslot` to its
// switch channel; empty after a failure, which is logged on the error stream after `header`.
Fd allocate(uint32_t type, const char* header, int& timeslot);

}  // namespace MccChannel
