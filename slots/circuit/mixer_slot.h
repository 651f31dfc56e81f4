#pragma once

// The base of the two mixer slot types: a channel of one mixer unit with its switch channel, and
// the tone and DSP front ends of that switch channel. It holds what the two types share: the
// ioctl rows both serve alike, the front-end events both forward, and the end of a DTMF
// dialling still running when the slot goes.

#include "server/slot.h"

#include "hardware/dsproc_receiver.h"
#include "hardware/tonec_receiver.h"

#include <optional>

namespace Mixer {

class Mixer;

class MixerSlot : public Slot, protected Hardware::TonecReceiver, protected Hardware::DSProcReceiver {
public:
    // Floats the switch channel, leaves the channel's sum in the driver (ReleaseChannel) and
    // switches off in the drivers what the front ends switched on. A slot of a vanished unit only
    // leaves the unit: the returned unit is reset, and its slots may hold the channel, its switch
    // channel and their front ends by now.
    bool IBeforeDestroy() override;
    // Its unit has vanished: stops what the slot runs on its switch channel while that is still
    // its own (a dialling, a tone, the features the front ends switched on), drops its routes and
    // closes its streams, then leaves the channel. Afterwards the slot touches nothing there and
    // hears none of its events: the returning unit's slots may take the channel.
    void Vanish();
    // Silences and stops a DTMF dialling that is still running.
    void StopDialing();
    // The channel within the unit.
    int Channel() const { return channel; }

protected:
    MixerSlot(Mixer& mixer, int channel, int timeslot) : mixer(mixer), channel(channel), timeslot(timeslot) {}

    // The answer of a row both types serve; nothing for any other row.
    std::optional<bool> SharedIoctl(const LGCP::IoctlParams& params);
    // Both stop a running dialling; the force of Hardware::TonecReceiver::disableToneGenerator.
    bool StopToneGenerator(bool force);

    // None once the slot has left its channel.
    int SwitchChannel() const { return left ? -1 : timeslot; }
    int tonec_timeslot() const override { return SwitchChannel(); }
    int dsproc_timeslot() const override { return SwitchChannel(); }
    void tone_gen_complete() override { dialing = false; }
    void dsproc_tone_flt_event(const dsproc_tone_event* event) override;
    void dsproc_flags_event(const ::dsproc_flags_event* event) override;

    Mixer& mixer;
    const int channel;   // within the unit
    const int timeslot;  // the switch channel the driver answered for it
    bool left = false;   // its unit vanished: the channel is no longer the slot's

private:
    // The driver work of the destroy for the slot's type, which leaves the unit (Mixer::Release).
    virtual void ReleaseChannel() = 0;
    // Switches off in the drivers what the front ends switched on.
    void CleanFrontEnds();

    // The tone front end keeps its dialling to itself: a translateDTMF runs until its completion
    // or until the tone generator is stopped.
    bool dialing = false;
};

}  // namespace Mixer
