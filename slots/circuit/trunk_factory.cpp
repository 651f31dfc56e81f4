#include "slots/circuit/trunk_factory.h"

#include "slots/circuit/trunk_slot.h"

#include "server/slots.h"

#include <iostream>

// Built in this order before main runs: the list then reads trunk_bri7 ... trunk_bri0, trunk3 ... trunk0.
TrunkFactory trunk0(0, 0), trunk1(1, 32), trunk2(2, 64), trunk3(3, 96);
TrunkBRIFactory trunk_bri0(0, 0), trunk_bri1(1, 4), trunk_bri2(2, 8), trunk_bri3(3, 12), trunk_bri4(4, 16),
    trunk_bri5(5, 20), trunk_bri6(6, 24), trunk_bri7(7, 28);

void LinkTrunkFactories() {}

TrunkFactory::TrunkFactory(unsigned int trunk, unsigned int base) : trunk(trunk), base(base) {}

Slot* TrunkFactory::INewSlot(const LGCP::CreateParams& params)
{
    const LGCP::TrunkParams* line = params.get_trunk();
    return line ? Take(*line, time_slots, [](int channel) { return new TrunkSlot(channel); }) : nullptr;
}

Slot* TrunkBRIFactory::INewSlot(const LGCP::CreateParams& params)
{
    const LGCP::TrunkParams* line = params.get_trunk_bri();
    return line ? Take(*line, time_slots, [](int channel) -> TrunkSlot* { return new TrunkBRISlot(channel); })
                : nullptr;
}

Slot* TrunkFactory::Take(const LGCP::TrunkParams& line, unsigned count, TrunkSlot* (*make)(int channel))
{
    unsigned timeslot = line.get_timeslot().getValue();
    if (line.get_trunk().getValue() != trunk || timeslot >= count)
        return nullptr;
    if (TrunkSlot* old = table[timeslot]) {
        std::cerr << "trunk-slot: two slots require the same timeslot, remove old." << std::endl;
        std::cerr << " old slot " << *old << std::endl;
        Slots::instance()->Destroy(old);
    }
    TrunkSlot* slot = make(static_cast<int>(timeslot + base));
    table[timeslot] = slot;
    return slot;
}

void TrunkFactory::ReleaseTrunkSlot(TrunkSlot* slot) { table[slot->GetTimeSlot()] = nullptr; }
