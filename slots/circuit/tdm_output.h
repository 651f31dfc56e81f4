#pragma once

// A mixer output (create alternative `mixerOut`): a summator channel of a mixer unit whose sum is
// a source on the TDM switch, never a destination. Its tone generator plays tones and DTMF
// digits into the sum; its tone-filter and flag events go to the controller.

#include "slots/circuit/mixer_slot.h"

namespace Mixer {

class TdmOutput : private MixerSlot {
public:
    TdmOutput(Mixer& mixer, int channel, int timeslot) : MixerSlot(mixer, channel, timeslot) {}

    // A vanished unit's output has no switch channel any more, which the returned unit's slots may
    // use by now: it serves no ioctl and feeds no new listener.
    bool Ioctl(const LGCP::IoctlParams& params) override;
    bool IOnOutputStream() override;
    int IGetTransmitChannel() override;
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
