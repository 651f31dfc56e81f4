#include "slots/circuit/trunk_slot.h"

#include "slots/circuit/trunk_factory.h"

void TrunkSlot::IAfterCreate()
{
    OnChangeOutputStream(true);
    OnChangeInputStream(true);
}

bool TrunkSlot::IBeforeDestroy()
{
    if (factory)
        static_cast<TrunkFactory*>(factory)->ReleaseTrunkSlot(this);
    return true;
}
