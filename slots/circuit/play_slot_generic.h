#pragma once

// What every player shares: a transmit-only channel, and its place in the factory's list.

#include "slots/circuit/voice_slot.h"

class PlaySlotGeneric : public VoiceSlot {
public:
    // Asks the channel for its time slot.
    explicit PlaySlotGeneric(Fd channel);

    // Leaves the factory's list; the player goes at once.
    bool IBeforeDestroy() override;
    int IGetTransmitChannel() override { return timeslot; }
    const char* GetName() const override { return "player"; }
};
