#include "slots/rtp/rtp_ext_slot.h"

#include "slots/rtp/radio_control.h"
#include "slots/rtp/rtp_driver.h"

#include "foundation/os/device.h"

RtpExtSlot::~RtpExtSlot()
{
    if (!control)
        return;
    control->SetNotify(nullptr);
    control->SetTimerEnable(false);
    delete control;
}

void RtpExtSlot::IAfterCreate()
{
    RtpSlot::IAfterCreate();
    if (control) {
        control->SendASNToChan(radioStatus);
        FollowSquelch();
    }
}

bool RtpExtSlot::IBeforeDestroy()
{
    if (control)
        control->RtpExtStop();
    RtpSlot::IBeforeDestroy();
    return true;
}

bool RtpExtSlot::Ioctl(const LGCP::IoctlParams& params)
{
    if (!control)
        return RtpSlot::Ioctl(params);
    bool result;
    if (const TERM::RadioModifier* modifier = params.get_rtpExt()) {
        result = control->SendASNToChan(*modifier);
    } else {
        const int chosen = params.currentSelection();
        const bool payload = chosen == LGCP::IoctlParams::encoder_mode || chosen == LGCP::IoctlParams::decoder_mode;
        if (payload)
            control->RtpExtStop();
        result = RtpSlot::Ioctl(params);
        // Whether or not the payload changed, a session runs: the extension follows the live one,
        // and the change fails when the extension cannot.
        if (payload) {
            control->UpdateRtpSession(session);
            const bool restarted = control->RtpExtStart(false);
            result = result && restarted;
        }
    }
    FollowSquelch();
    return result;
}

void RtpExtSlot::FollowSquelch()
{
    if (!inputGated)
        return;
    const bool squelch = control->GetSQU();
    if (squelch && !inputStarted) {
        Device::request(session, RtpDriver::start_input);
        inputStarted = true;
    } else if (!squelch && inputStarted) {
        Device::request(session, RtpDriver::stop_input);
        inputStarted = false;
    }
}

void RtpExtSlot::RadioControlNotify(const TERM::RtpRadioRequest& request) { OnRtpRadioEvent(request); }

void RtpExtSlot::RadioControlNotify(int code) { OnAbort(code); }
