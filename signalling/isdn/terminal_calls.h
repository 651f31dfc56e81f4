#pragma once

// The calls one terminal on a basic-rate line takes part in, known by their call reference: the
// one-octet reference (value and flag) as the network's messages for the call carry it, so that a
// message from above is matched as it comes. The flag tells the two sides of a call apart: a
// terminal's message names its call with the flag the terminal's side uses, the network's messages
// for the same call carry the other one.
//
// A call is held from the first message of the terminal that names it until a RELEASE COMPLETE for
// it passes either way. A call whose end went unseen (a lost frame, a side that gave up) holds its
// place only until sixteen calls named more recently push it out.

#include "foundation/packet/packet.h"

#include <cstdint>

namespace ISDN {

class TerminalCalls {
public:
    static constexpr unsigned capacity = 16;

    // A Q.931 message the terminal sent: the call it names is held, as the most recently named; a
    // RELEASE COMPLETE ends it.
    void on_terminal_message(const Packet& message);
    // A Q.931 message from above: whether it is about a call the terminal holds. A RELEASE COMPLETE
    // ends that call.
    bool on_network_message(const Packet& message);
    // The terminal is gone: no call is held.
    void clear() { count_ = 0; }

private:
    // Where the reference is held; count_ when it is not.
    unsigned find(uint8_t reference) const;
    void forget(unsigned at);

    uint8_t held_[capacity] = {};  // the least recently named first
    unsigned count_ = 0;
};

}  // namespace ISDN
