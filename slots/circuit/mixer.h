#pragma once

// One summing-mixer unit of the board's DSP: it makes the mixer slots of its channels, keeps the
// live ones, and sets the sums of its summators in the driver. The factory learns the units at
// each resource report; a unit the driver no longer reports is vanished: its slots are told to
// abort and the mixer deletes itself once the last of them has gone.

#include "slots/circuit/mixer_ctl.h"

#include "asn1/modules/LGCP.h"

#include <iosfwd>
#include <list>

class Slot;

namespace Mixer {

class MixerSlot;
class TdmInput;
class TdmOutput;

class Mixer {
public:
    explicit Mixer(int unit) : unit(unit) {}
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    int GetUnit() const { return unit; }

    // A new slot, registered; null when the channel is not a TDM channel of the unit, a live
    // slot of the unit holds it, or the driver refuses it. An output's sum is set up first and
    // left empty when the create fails.
    Slot* New(const LGCP::MixerInParams& params);
    Slot* New(const LGCP::MixerOutParams& params);
    // The driver work of a slot's destroy while the unit lives; failures are logged and the slot
    // goes all the same.
    void Release(TdmInput& input);
    void Release(TdmOutput& output);

    // Empties the sum of every channel.
    void Reset();
    // The unit has vanished: every slot of it stops what it runs on its channel and aborts with
    // cause 0.
    void Clear();
    // Empties the sum of the output channel; false after logging why.
    bool ClearTX(const LGCP::MixerChannel& channel);
    // The sum of the output: its inputs with their weights, or the channel itself at full weight.
    bool SetTX(const LGCP::MixerOutParams& params);
    // The switch channel of a channel of the unit; -1 after logging the failure.
    int channel2timeslot(int channel);
    void Register(MixerSlot* slot);
    void UnRegister(MixerSlot* slot);
    // Deletes the mixer when it is vanished and has no slot left.
    void CheckForDestroy();

    // Only TDM channels translate.
    bool Channel2Slot(const LGCP::MixerChannel& channel, mix_slot& slot) const;
    // "mixer [<unit>]: "
    void PutHeader(std::ostream& out) const;

    bool vanished = false;  // the last enumeration did not report the unit

private:
    // Whether a live slot of the unit holds the channel, which then serves no other slot; logged.
    bool Held(int channel) const;
    // A TDM channel of the unit's range; -1 for any other.
    int TdmChannel(const LGCP::MixerChannel& channel) const;
    mix_slot tdm_slot(int number) const { return {unit, 0, number}; }

    const int unit;
    std::list<MixerSlot*> slots;
};

}  // namespace Mixer
