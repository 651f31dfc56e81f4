#pragma once

// One read of a frame channel, one frame per read, into a packet of its own.

#include "foundation/packet/packet.h"
#include "foundation/util/ext_header.h"

#include <cstdint>
#include <iostream>
#include <sys/types.h>

// The read's result; on a positive one `frame` holds the frame. With the packet pool dry the frame
// is read all the same, so that the channel moves on to the next one, and dropped: `frame` stays
// null.
ssize_t read_frame(int fd, Packet& frame);

// Counts a frame that read_frame dropped, with a line under the channel owner's header.
template <class Owner>
void count_dropped_frame(const Owner& owner, uint32_t& dropped)
{
    ++dropped;
    std::cerr << ext::header(&owner) << "packet pool exhausted, received frame dropped (" << dropped << " so far)"
              << std::endl;
}
