#pragma once

// Links push their header in front of a message they send. The message must then be theirs alone
// and have room in front: a block still shared is copied once, a block without the room is moved
// to one that has it. The pool may be empty: std::bad_alloc, which the links treat as a full queue.

#include "foundation/packet/packet.h"

inline void make_head_room(Packet& frame, unsigned room)
{
    if (frame.headroom() >= room) {
        frame.prepare_for_modify();
        return;
    }
    Packet roomy;
    roomy.reserve_head(room);
    roomy.put(frame);
    frame = roomy;
}
