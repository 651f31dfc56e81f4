#pragma once

// A mixer output (create alternative `mixerOut`): a summator channel of a mixer unit whose sum is
// a source on the TDM switch, never a destination. Its tone generator plays tones and DTMF
// digits into the sum; its tone-filter and flag events go to the controller.

#include "slots/circuit/mixer_slot.h"

namespace Mixer {

class TdmOutput : private MixerSlot {
public:
    TdmOutput(Mixer& mixer, int channel, int timeslot) : MixerSlot(mixer, channel, timeslot) {}

    // None for a vanished unit's output, whose switch channel the returned unit's slots may use.
    bool Ioctl(const LGCP::IoctlParams& params) override;
    bool IOnOutputStream() override { return true; }
    int IGetTransmitChannel() override { return timeslot; }
    const char* GetName() const override { return "mixer tdm output"; }

private:
    friend class Mixer;

    // Empties the sum and leaves the unit.
    void ReleaseChannel() override;
    void tonec_event(const Params&) override {}
    void tone_gen_complete() override;
    void dsproc_vad_event(const Hardware::DSProcVADEvent&) override {}
    void dsproc_bss_event(const ::dsproc_bss_event*) override {}
    void dsproc_sd_event(const Hardware::DSProcSDEvent&) override {}
};

}  // namespace Mixer
