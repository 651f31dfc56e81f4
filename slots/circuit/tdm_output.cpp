#include "slots/circuit/tdm_output.h"

#include "slots/circuit/mixer.h"

namespace Mixer {

void TdmOutput::ReleaseChannel() { mixer.Release(*this); }

bool TdmOutput::IOnOutputStream() { return !left; }

int TdmOutput::IGetTransmitChannel() { return SwitchChannel(); }

bool TdmOutput::Ioctl(const LGCP::IoctlParams& params)
{
    if (left)
        return false;
    using Row = LGCP::IoctlParams;
    switch (params.currentSelection()) {
    case Row::dtmf_disable:
        return StopToneGenerator(false);
    case Row::dtmf_reject_disable:
        return enableDTMFReject(false);
    case Row::tone_gen_enable: {
        const LGCP::ToneGenerator& tone = *params.get_tone_gen_enable();
        StopToneGenerator(false);
        // Frequency and amplitude are 16-bit fields of the driver.
        enableToneGenerator(static_cast<uint16_t>(tone.get_freq().getValue()), 0,
                            static_cast<uint16_t>(tone.get_amp().getValue()), 0);
        return true;
    }
    case Row::tone_gen_disable:
        StopToneGenerator(true);
        return true;
    default:
        return SharedIoctl(params).value_or(false);
    }
}

void TdmOutput::tone_gen_complete()
{
    MixerSlot::tone_gen_complete();
    processToneGenEvent();
}

}  // namespace Mixer
