#include "slots/circuit/tdm_input.h"

#include "slots/circuit/mixer.h"

namespace Mixer {

void TdmInput::ReleaseChannel() { mixer.Release(*this); }

bool TdmInput::IOnInputStream() { return !left; }

int TdmInput::IGetReceiveChannel() { return SwitchChannel(); }

bool TdmInput::Ioctl(const LGCP::IoctlParams& params)
{
    if (left)
        return false;
    using Row = LGCP::IoctlParams;
    switch (params.currentSelection()) {
    case Row::echoSuppressor:
        return echoCancel(params.get_echoSuppressor()->getValue());
    case Row::dtmf_enable:
        return enableDTMF(params.get_dtmf_enable()->getValue());
    case Row::dtmf_reject_enable:
        return enableDTMFReject(params.get_dtmf_reject_enable()->getValue());
    case Row::iva_params:
        return configureIVA(*params.get_iva_params());
    case Row::rx_gain:
        // The driver's gain is one signed byte.
        return configureRxGain(static_cast<int8_t>(params.get_rx_gain()->get_gainDB().getValue() & 0xFF));
    default:
        return SharedIoctl(params).value_or(false);
    }
}

void TdmInput::tonec_event(const Params& params) { processTonecEvent(params.code, params.timestamp); }

void TdmInput::dsproc_vad_event(const Hardware::DSProcVADEvent& event) { processVADEvent(event.rx, event.tx); }

void TdmInput::dsproc_bss_event(const ::dsproc_bss_event* event) { processBSSEvent(event->score); }

void TdmInput::dsproc_sd_event(const Hardware::DSProcSDEvent& event) { processSDEvent(event.rx); }

}  // namespace Mixer
