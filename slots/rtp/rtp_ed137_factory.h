#pragma once

// The factory of ED-137 radio slots ("RTP Ext ED137"): it takes the create alternative `rtp` when
// the RTP parameters carry a radio block with ED-137 status, and builds the RTP slot with its
// ED-137 gateway radio control on a header-extension session of type 0x0167, set up from the
// radio settings that the status carries (defaults for those it does not).

#include "slots/rtp/rtp_factory.h"

class RtpED137Factory : public RtpFactory {
public:
    static RtpED137Factory* instance();

    const char* GetName() const override { return "RTP Ext ED137"; }
    Slot* INewSlot(const LGCP::CreateParams& params) override;

private:
    RtpED137Factory();
};
