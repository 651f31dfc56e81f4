#pragma once

#include "foundation/packet/packet.h"

#include <vector>

namespace packettest {

// A packet holding the bytes behind the given head room.
inline Packet make(std::initializer_list<unsigned char> bytes, unsigned headroom = 16)
{
    Packet p;
    p.reserve_head(headroom);
    for (unsigned char b : bytes)
        p.put(b);
    return p;
}

// Takes every free block of the pool; they come back when the result goes.
inline std::vector<Packet> drain_pool()
{
    std::vector<Packet> held;
    while (Packet_pool::available() > 0)
        held.push_back(make({}, 0));
    return held;
}

}  // namespace packettest
