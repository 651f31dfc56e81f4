#pragma once

// What a radio slot asks of its radio control: the controller's radio state and radio commands to
// send to the peer, and the radio squelch that gates the slot's RTP input. Each answers whether
// the control took it.

#include "asn1/modules/TERM.h"

namespace RTPSignalling {

class IRadioController {
public:
    virtual ~IRadioController() = default;

    virtual bool SendASNToChan(const TERM::RadioStatus&) { return false; }
    virtual bool SendASNToChan(const TERM::RadioModifier&) { return false; }
    virtual bool GetSQU() { return false; }
};

}  // namespace RTPSignalling
