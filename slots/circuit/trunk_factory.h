#pragma once

// The trunk factories, one per line: four for the E1 trunks ("Trunks", create alternative
// `trunk`) and eight for the BRI lines ("TrunksBRI", `trunk_bri`). Each keeps the one live slot of
// every time slot of its line: a create for a time slot that is held destroys the old holder
// and gives the time slot to the new slot. They are built by static construction, so they stand
// at the tail of the factory list, behind every factory that start-up makes.

#include "server/slot_factory.h"

#include "asn1/modules/LGCP.h"

#include <array>

class TrunkSlot;

class TrunkFactory : public SlotFactory {
public:
    static constexpr unsigned time_slots = 32;

    // `base` is the switch channel of time slot 0 of the trunk.
    TrunkFactory(unsigned int trunk, unsigned int base);

    const char* GetName() const override { return "Trunks"; }
    Slot* INewSlot(const LGCP::CreateParams& params) override;
    void Query(LGCP::Resources&) override {}
    // Empties the table entry of the slot's time slot.
    virtual void ReleaseTrunkSlot(TrunkSlot* slot);

protected:
    // The slot that `make` builds for the line's time slot, after evicting an old holder; null
    // for another trunk or a time slot not below `count`.
    Slot* Take(const LGCP::TrunkParams& line, unsigned count, TrunkSlot* (*make)(int channel));

    std::array<TrunkSlot*, time_slots> table{};
    unsigned int trunk;
    unsigned int base;
};

class TrunkBRIFactory : public virtual TrunkFactory {
public:
    static constexpr unsigned time_slots = 4;

    TrunkBRIFactory(unsigned int trunk, unsigned int base) : TrunkFactory(trunk, base) {}

    const char* GetName() const override { return "TrunksBRI"; }
    Slot* INewSlot(const LGCP::CreateParams& params) override;
};

extern TrunkFactory trunk0, trunk1, trunk2, trunk3;
extern TrunkBRIFactory trunk_bri0, trunk_bri1, trunk_bri2, trunk_bri3, trunk_bri4, trunk_bri5, trunk_bri6, trunk_bri7;

// The trunk factories are statics of a library, which a program links only when it refers to
// them: a program that serves trunk slots calls this once.
void LinkTrunkFactories();
