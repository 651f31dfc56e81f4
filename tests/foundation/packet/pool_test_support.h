#pragma once

#include "foundation/packet/packet.h"

#include <vector>

namespace packettest {

// Takes every free block of the pool; they come back when the result goes.
inline std::vector<Packet> drain_pool()
{
    std::vector<Packet> held;
    held.reserve(packet_pool_blocks);
    while (Packet_pool::available() > 0) {
        held.emplace_back();
        held.back().reserve_head(0);
    }
    return held;
}

}  // namespace packettest
