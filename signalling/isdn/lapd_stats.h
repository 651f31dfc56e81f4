#pragma once

// The counters of one ISDN data link, never reset; the link reports them to the controller in its
// link information and prints them with its state.

#include <cstdint>
#include <iosfwd>

namespace ISDN {

struct LAPDStats {
    uint32_t t200_expiries = 0;
    uint32_t t202_expiries = 0;
    uint32_t t203_expiries = 0;
    uint32_t errors = 0;  // nothing counts into it
    uint32_t retrains = 0;  // frames moved back from the acknowledgement queue to be sent again
    uint32_t out_overflows = 0;  // messages dropped: send queue full, or no packet for a frame
    uint32_t ack_overflows = 0;  // frames sent that the acknowledgement queue could not keep
    uint32_t messages = 0;  // from layer 3, empty ones included
    uint32_t in_sequence = 0;  // I frames accepted
    uint32_t empty_messages = 0;
    uint32_t out_of_sequence = 0;
    uint32_t nr_errors = 0;

    // Three lines, each after an end of line: timer expiries, errors and retrains, queue overflows.
    void out(std::ostream& os) const;
};

}  // namespace ISDN
