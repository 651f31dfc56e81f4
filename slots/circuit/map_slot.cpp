#include "slots/circuit/map_slot.h"

#include "slots/circuit/map_factory.h"

void MapSlot::IAfterCreate()
{
    if (rx >= 0)
        OnChangeInputStream(true);
    if (tx >= 0)
        OnChangeOutputStream(true);
}

bool MapSlot::IBeforeDestroy()
{
    if (factory)
        static_cast<MapFactory*>(factory)->ReleaseMapSlot(this);
    return true;
}
