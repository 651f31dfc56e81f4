#pragma once

// One read of a frame channel, one frame per read, into a packet of its own.

#include "foundation/packet/packet.h"

#include <sys/types.h>

// The read's result; on a positive one `frame` holds the frame. With the packet pool dry the frame
// is read all the same, so that the channel moves on to the next one, and dropped: `frame` stays
// null.
ssize_t read_frame(int fd, Packet& frame);
