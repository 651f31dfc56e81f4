#include "server/slot_factory.h"

#include "server/slot.h"

SlotFactory* firstFactory = nullptr;

SlotFactory::SlotFactory() : next(firstFactory) { firstFactory = this; }

Slot* SlotFactory::NewSlot(const LGCP::CreateParams& params)
{
    Slot* slot = INewSlot(params);
    if (slot) {
        slot->factory = this;
        slots.push_back(slot);
    }
    return slot;
}

void SlotFactory::Remove(Slot* slot) { slots.remove(slot); }
