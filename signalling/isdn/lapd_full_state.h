#pragma once

// The protocol variables of one ISDN data link (Q.921): its state, addresses, retransmission
// counter, internal signals, timer flags and sequence numbers. The link keeps them as one block so
// that every status it reports can carry a copy taken at the moment it was made.

#include "signalling/cyclic.h"

#include <cstdint>
#include <iosfwd>

namespace ISDN {

// The data-link states, numbered as the controller's link information numbers them.
enum LAPDStateValue : uint32_t {
    tei_unassigned = 0,
    assign_awaiting_tei = 1,
    establish_awaiting_tei = 2,
    tei_assigned = 3,
    awaiting_establishment = 4,
    awaiting_release = 5,
    multiple_frame_established = 6,
    timer_recovery = 7,
};

// "TEI unassigned" ... "Timer recovery"; "(unknown)" past the last state.
const char* statetext(uint32_t state);

struct LAPDFullState {
    uint32_t state = tei_assigned;
    uint32_t own_tei = 0;
    uint32_t own_sapi = 0;  // every frame but TEI management goes out on SAPI 0
    uint32_t peer_tei = 0;  // the address of the last frame received
    uint32_t peer_sapi = 0;
    uint32_t rc = 0;  // retransmission counter
    bool peer_busy = false;
    bool own_busy = false;
    bool reject_exception = false;
    bool l3_initiated = false;
    bool establishable = true;
    bool queued_up = false;  // I frames wait in the send queue
    bool retransmission_request = false;
    bool acknowledge_request = false;
    bool t200_running = false;
    bool t202_running = false;
    bool t203_running = false;
    Cyclic<unsigned, 127u> vs;
    Cyclic<unsigned, 127u> va;
    Cyclic<unsigned, 127u> vr;

    // Seven lines, each after an end of line: state, own and peer address, counters, internal
    // signals, flags, timers.
    void out(std::ostream& os) const;
};

}  // namespace ISDN
