#pragma once

// The calls one terminal on a basic-rate line takes part in, known by their call reference: the
// one-octet reference (value and flag) as the network's messages for the call carry it, so that a
// message from above is matched as it comes. The flag tells the two sides of a call apart: a
// terminal's message names its call with the flag the terminal's side uses, the network's messages
// for the same call carry the other one.
//
// A call is held from the first message of the terminal that names it until a RELEASE COMPLETE for
// it passes either way. A call whose end went unseen (a lost frame, a side that gave up) holds its
// place only until sixteen calls named more recently push it out. Each call remembers when the
// terminal last named it, counted across the line, so that where terminals choose the same
// reference (a restarted terminal begins its numbering again) the one that named it last can be told.

#include "foundation/packet/packet.h"

#include <cstdint>

namespace ISDN {

class TerminalCalls {
public:
    static constexpr unsigned capacity = 16;

    // A Q.931 message the terminal sent, `naming` counting the messages of every terminal on the
    // line: the call it names is held, as named at that count; a RELEASE COMPLETE ends it.
    void on_terminal_message(const Packet& message, uint64_t naming);
    // When the terminal last named the call of a message from above (see on_terminal_message); 0 when
    // it holds no such call.
    uint64_t named(const Packet& message) const;
    // A Q.931 message from above for a call the terminal holds: a RELEASE COMPLETE ends the call.
    void on_network_message(const Packet& message);
    // The terminal is gone: no call is held.
    void clear() { count_ = 0; }
    bool empty() const { return count_ == 0; }

private:
    struct Call {
        uint8_t reference;
        uint64_t named;
    };

    // Where the reference is held; count_ when it is not.
    unsigned find(int reference) const;
    void forget(unsigned at);

    Call held_[capacity] = {};  // the least recently named first
    unsigned count_ = 0;
};

}  // namespace ISDN
