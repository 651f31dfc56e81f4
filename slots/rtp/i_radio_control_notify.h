#pragma once

// What a radio control reports to its slot: a radio request from the peer, for the controller, and
// a fault code, such as the peer's silence.

#include "asn1/modules/TERM.h"

namespace RTPSignalling {

class IRadioControlNotify {
public:
    virtual ~IRadioControlNotify() = default;

    virtual void RadioControlNotify(const TERM::RtpRadioRequest&) { }
    virtual void RadioControlNotify(int) { }
};

}  // namespace RTPSignalling
