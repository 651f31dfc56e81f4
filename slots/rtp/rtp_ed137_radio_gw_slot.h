#pragma once

// The ED-137 radio slot on the radio's side of the link, the one the controller creates: its
// gateway radio control sends the commanded radio state towards the voice system on change and as
// a keep-alive, reports the voice system's PTT commands and its silence to the controller, and,
// when the settings say so, runs the slot's RTP input only while the commanded squelch is on.

#include "slots/rtp/ed137_radio_params.h"
#include "slots/rtp/rtp_ed137_slot.h"

namespace RTPSignalling {
class ED137RadioGWControl;
}

class RtpED137RadioGWSlot : public RtpED137Slot {
public:
    // The control on an extension session of its own, attached to the slot's RTP session, with
    // the radio's settings, its status timer running.
    RtpED137RadioGWSlot(int channel, Fd session, const rtp_connection_params& params,
                        const rtp_ext_attach_session_params& attach, const rtp_ext_init_params& init,
                        const RTPSignalling::ED137RadioParams& radio);
    // The control on a session of its own without attach, or attached on the RTP device; no timer.
    RtpED137RadioGWSlot(int channel, Fd session, const rtp_connection_params& params, const rtp_ext_init_params& init);
    RtpED137RadioGWSlot(int channel, Fd session, const rtp_connection_params& params,
                        const rtp_attach_session_params& attach);

    const char* GetName() const override { return "rtp ext ED137 (GW)"; }

private:
    // The control reports to this slot, without traces.
    void Take(RTPSignalling::ED137RadioGWControl* made);
};
