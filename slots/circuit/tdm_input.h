#pragma once

// A mixer input (create alternative `mixerIn`): a channel of a mixer unit that receives a TDM
// stream from any slot, as a destination only, and is added into one summator of its unit. The
// tone and DSP events of its switch channel go to the controller.

#include "slots/circuit/mixer_slot.h"

namespace Mixer {

class TdmInput : public MixerSlot {
public:
    TdmInput(Mixer& mixer, int channel, int timeslot) : MixerSlot(mixer, channel, timeslot) {}

    // A vanished unit's input has no switch channel any more, which the returned unit's slots may
    // use by now: it serves no ioctl and takes no source.
    bool Ioctl(const LGCP::IoctlParams& params) override;
    bool IOnInputStream() override;
    int IGetReceiveChannel() override;
    const char* GetName() const override { return "mixer tdm input"; }

private:
    friend class Mixer;

    // Leaves the summator and the unit.
    void ReleaseChannel() override;
    void tonec_event(const Params& params) override;
    void dsproc_vad_event(const Hardware::DSProcVADEvent& event) override;
    void dsproc_bss_event(const ::dsproc_bss_event* event) override;
    void dsproc_sd_event(const Hardware::DSProcSDEvent& event) override;

    bool summatorSet = false;
    int summator = -1;  // the summator channel it was added to
};

}  // namespace Mixer
