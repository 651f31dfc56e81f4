#pragma once

// The LEMZ radio slots: RTP slots whose RTP packets carry LEMZ radio signalling in header
// extensions of type 0x1337, run by a LEMZ radio control that the slot creates and owns. The
// gateway slot is the one the controller creates; the workstation slot stands on the other side.
//
// Each takes the control's construction form from its records: an extension session of its own
// attached to the slot's RTP session, the extension attached on the RTP device to a session that
// another process holds, or a session of its own without attach.

#include "slots/rtp/rtp_ext_slot.h"

class RtpLEMZSlot : public RtpExtSlot {
public:
    using RtpExtSlot::RtpExtSlot;

    const char* GetName() const override { return "rtp ext LEMZ"; }

protected:
    // Takes the control made for the slot: it reports to the slot, without traces, with its timer
    // as asked, and counts a packet sent on a command as the periodic one of its kind unless
    // `keepAliveSuppressed`.
    void Own(RTPSignalling::RadioControl* made, bool timer, bool keepAliveSuppressed);
};

class RtpLEMZRadioGWSlot : public RtpLEMZSlot {
public:
    // `timer` starts the periodic reports.
    RtpLEMZRadioGWSlot(int channel, Fd session, const rtp_connection_params& params,
                       const rtp_ext_attach_session_params& attach, const rtp_ext_init_params& init, bool timer);
    RtpLEMZRadioGWSlot(int channel, Fd session, const rtp_connection_params& params,
                       const rtp_attach_session_params& attach);
    RtpLEMZRadioGWSlot(int channel, Fd session, const rtp_connection_params& params, const rtp_ext_init_params& init);

    const char* GetName() const override { return "rtp ext LEMZ (GW)"; }
};

class RtpLEMZRadioWSSlot : public RtpLEMZSlot {
public:
    RtpLEMZRadioWSSlot(int channel, Fd session, const rtp_connection_params& params,
                       const rtp_ext_attach_session_params& attach, const rtp_ext_init_params& init);
    RtpLEMZRadioWSSlot(int channel, Fd session, const rtp_connection_params& params,
                       const rtp_attach_session_params& attach);
    RtpLEMZRadioWSSlot(int channel, Fd session, const rtp_connection_params& params, const rtp_ext_init_params& init);

    const char* GetName() const override { return "rtp ext LEMZ (WS)"; }
};
