#pragma once

// A frame transmitter of an HDLC-like channel: the board's HDLC controller channels and the ISDN
// slots' own descriptors both offer it to the links above them.

#include "foundation/packet/packet.h"

class GenericHDLC {
public:
    virtual ~GenericHDLC() = default;
    // Sends one frame; false when it was not taken.
    virtual bool hdlc_transmit(Packet& frame) = 0;
    virtual bool is_open() const = 0;
    // Whether a frame would be taken now.
    virtual bool is_ready() const = 0;
};
