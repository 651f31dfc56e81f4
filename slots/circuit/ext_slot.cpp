#include "slots/circuit/ext_slot.h"

#include "board/hw_mux.h"

bool ExtSlot::IBeforeDestroy()
{
    HwMux::instance()->Disable(rx);
    return true;
}

bool ExtSlot::IActivate(const TERM::TermActivateParams&)
{
    // Activated again with a source connected: the idle byte would cut the source's route while
    // the slot still counts it as connected.
    if (GetSource())
        return true;
    OnChangeInputStream(true);
    HwMux::instance()->Disconnect(rx);
    return true;
}

bool ExtSlot::IDeactivate()
{
    OnChangeInputStream(false);
    HwMux::instance()->Disable(rx);
    return true;
}
