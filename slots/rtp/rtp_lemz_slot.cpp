#include "slots/rtp/rtp_lemz_slot.h"

#include "slots/rtp/lemz_radio_gw_control.h"
#include "slots/rtp/lemz_radio_ws_control.h"

using RTPSignalling::LemzRadioGWControl;
using RTPSignalling::LemzRadioWSControl;

void RtpLEMZSlot::Own(RTPSignalling::RadioControl* made, bool timer, bool keepAliveSuppressed)
{
    control = made;
    control->SetNotify(this);
    control->SetTrace(false);
    control->SetTimerEnable(timer);
    control->SetKeepAliveSuppressed(keepAliveSuppressed);
}

RtpLEMZRadioGWSlot::RtpLEMZRadioGWSlot(int channel, Fd session, const rtp_connection_params& params,
                                       const rtp_ext_attach_session_params& attach, const rtp_ext_init_params& init,
                                       bool timer)
    : RtpLEMZSlot(channel, session, params, attach, init)
{
    Own(new LemzRadioGWControl(channel, attach, init), timer, false);
}

RtpLEMZRadioGWSlot::RtpLEMZRadioGWSlot(int channel, Fd session, const rtp_connection_params& params,
                                       const rtp_attach_session_params& attach)
    : RtpLEMZSlot(channel, session, params, attach)
{
    Own(new LemzRadioGWControl(channel, session, attach), false, false);
}

RtpLEMZRadioGWSlot::RtpLEMZRadioGWSlot(int channel, Fd session, const rtp_connection_params& params,
                                       const rtp_ext_init_params& init)
    : RtpLEMZSlot(channel, session, params, init)
{
    Own(new LemzRadioGWControl(init), false, false);
}

RtpLEMZRadioWSSlot::RtpLEMZRadioWSSlot(int channel, Fd session, const rtp_connection_params& params,
                                       const rtp_ext_attach_session_params& attach, const rtp_ext_init_params& init)
    : RtpLEMZSlot(channel, session, params, attach, init)
{
    Own(new LemzRadioWSControl(channel, attach, init), false, true);
}

RtpLEMZRadioWSSlot::RtpLEMZRadioWSSlot(int channel, Fd session, const rtp_connection_params& params,
                                       const rtp_attach_session_params& attach)
    : RtpLEMZSlot(channel, session, params, attach)
{
    Own(new LemzRadioWSControl(channel, session, attach), false, true);
}

RtpLEMZRadioWSSlot::RtpLEMZRadioWSSlot(int channel, Fd session, const rtp_connection_params& params,
                                       const rtp_ext_init_params& init)
    : RtpLEMZSlot(channel, session, params, init)
{
    Own(new LemzRadioWSControl(init), false, true);
}
