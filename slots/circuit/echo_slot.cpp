#include "slots/circuit/echo_slot.h"

void EchoSlot::IAfterCreate()
{
    OnChangeOutputStream(true);
    OnChangeInputStream(true);
}
