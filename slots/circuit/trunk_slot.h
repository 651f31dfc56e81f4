#pragma once

// A time slot of an E1 trunk or of a BRI line: the plain TDM endpoint through which the
// controller joins a line channel to any other slot. It owns no device; it answers its switch
// channel both ways and reports both streams open as soon as it exists.
//
// E1: channel 32 x trunk + time slot. BRI: channel 4 x line + time slot (the numbers of E1
// trunk 0, kept apart by the BRI factories).

#include "server/slot.h"

class TrunkSlot : public Slot {
public:
    explicit TrunkSlot(int channel) : channel(channel) {}

    int GetTrunk() override { return channel >> 5; }
    int GetTrunkTimeSlot() override { return GetTimeSlot(); }
    void IAfterCreate() override;
    // Frees the time slot in the owning factory; the slot goes at once.
    bool IBeforeDestroy() override;
    bool IOnOutputStream() override { return true; }
    bool IOnInputStream() override { return true; }
    int IGetTransmitChannel() override { return channel; }
    int IGetReceiveChannel() override { return channel; }
    const char* GetName() const override { return "trunk"; }
    virtual int GetTimeSlot() const { return channel & 31; }

protected:
    const int channel;
};

class TrunkBRISlot : public virtual TrunkSlot {
public:
    explicit TrunkBRISlot(int channel) : TrunkSlot(channel) {}

    int GetTrunk() override { return channel >> 2; }
    const char* GetName() const override { return "trunkBRI"; }
    int GetTimeSlot() const override { return channel & 3; }
};
