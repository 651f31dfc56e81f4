#pragma once

// The factory of the LEMZ radio slots ("RTP Ext LEMZ"): it takes the create alternative `rtp` when
// the RTP parameters carry a radio block with LEMZ status, and makes a gateway slot whose control
// has a header-extension session of its own attached to the slot's RTP session, or, when the
// request says that another process holds the extension (`rtp-e2m` mode `only-rtp`), attaches the
// extension on the RTP device to that process's session. Creation, channel counts and resource
// report are those of the RTP factory.

#include "slots/rtp/rtp_factory.h"

class RtpLEMZFactory : public RtpFactory {
public:
    static RtpLEMZFactory* instance();

    const char* GetName() const override { return "RTP Ext LEMZ"; }
    Slot* INewSlot(const LGCP::CreateParams& params) override;

private:
    RtpLEMZFactory() : RtpFactory("rtp ext LEMZ") {}
};
