#include "slots/rtp/rtp_ed137_radio_gw_slot.h"

#include "slots/rtp/ed137_radio_gw_control.h"

RtpED137RadioGWSlot::RtpED137RadioGWSlot(int channel, Fd session, const rtp_connection_params& params,
                                         const rtp_ext_attach_session_params& attach, const rtp_ext_init_params& init,
                                         const RTPSignalling::ED137RadioParams& radio)
    : RtpED137Slot(channel, session, params, attach, init)
{
    inputGated = radio.gate != 0;
    auto* made = new RTPSignalling::ED137RadioGWControl(channel, attach, init);
    made->SetParams(radio);
    Take(made);
    made->SetTimerInterval(radio.keepAlivePeriod * radio.keepAliveMultiplier / 2);
    made->SetTimerEnable(true);
    made->SetKeepAliveSuppressed(false);
}

RtpED137RadioGWSlot::RtpED137RadioGWSlot(int channel, Fd session, const rtp_connection_params& params,
                                         const rtp_ext_init_params& init)
    : RtpED137Slot(channel, session, params, init)
{
    Take(new RTPSignalling::ED137RadioGWControl(init));
    control->SetTimerEnable(false);
}

RtpED137RadioGWSlot::RtpED137RadioGWSlot(int channel, Fd session, const rtp_connection_params& params,
                                         const rtp_attach_session_params& attach)
    : RtpED137Slot(channel, session, params, attach)
{
    Take(new RTPSignalling::ED137RadioGWControl(channel, session, attach));
    control->SetTimerEnable(false);
}

void RtpED137RadioGWSlot::Take(RTPSignalling::ED137RadioGWControl* made)
{
    made->SetNotify(this);
    made->SetTrace(false);
    control = made;
}
