#pragma once

// The radio slot of a radio reached over IP with ED-137 signalling in its RTP header extensions.

#include "slots/rtp/rtp_ext_slot.h"

class RtpED137Slot : public RtpExtSlot {
public:
    using RtpExtSlot::RtpExtSlot;

    const char* GetName() const override { return "rtp ext ed137"; }
};
