#pragma once

// The base of the radio slots: an RTP slot whose RTP packets also carry radio signalling in their
// header extensions, run by the radio control that the derived slot creates and this slot owns.
// The controller's radio commands (the ioctl `rtpExt`) go to the control, and what the control
// reports comes back as the signals `rtpExt` and `abort`. When the slot's input is gated, the radio
// squelch decides whether its RTP input runs.

#include "slots/rtp/i_radio_control_notify.h"
#include "slots/rtp/rtp_slot.h"

#include "asn1/modules/TERM.h"

namespace RTPSignalling {
class RadioControl;
}

class RtpExtSlot : public RtpSlot, public RTPSignalling::IRadioControlNotify {
public:
    // The forms of the control's construction; the derived slot creates the control from the records.
    RtpExtSlot(int channel, Fd session, const rtp_connection_params& params, const rtp_ext_attach_session_params&,
               const rtp_ext_init_params&)
        : RtpSlot(channel, session, params)
    {
    }
    RtpExtSlot(int channel, Fd session, const rtp_connection_params& params, const rtp_ext_init_params&)
        : RtpSlot(channel, session, params)
    {
    }
    RtpExtSlot(int channel, Fd session, const rtp_connection_params& params, const rtp_attach_session_params&)
        : RtpSlot(channel, session, params)
    {
    }
    // Takes the control's reports away, stops its timer and deletes it.
    ~RtpExtSlot() override;

    // The radio status of the creation is the first state the control sends; a gated input
    // follows its squelch from then on.
    void IAfterCreate() override;
    bool IBeforeDestroy() override;
    bool Ioctl(const LGCP::IoctlParams& params) override;
    const char* GetName() const override { return "rtp ext"; }

    void RadioControlNotify(const TERM::RtpRadioRequest& request) override;
    void RadioControlNotify(int code) override;

    // Set by the radio factory from the create request's radio block.
    TERM::RadioStatus radioStatus;

protected:
    // Created by the derived slot.
    RTPSignalling::RadioControl* control = nullptr;

private:
    // A gated input runs while the radio squelch is on.
    void FollowSquelch();
};
