#pragma once

// The factory of the external-board slots ("Ext", create alternative `ext`), made sixth by
// start-up. The controller numbers both channels from 0; the switch channel is the number + 8192.

#include "server/slot_factory.h"

class ExtFactory : public SlotFactory {
public:
    static ExtFactory* instance();

    const char* GetName() const override { return "Ext"; }
    // No slot for a receiver outside 0 to 2047, which would not be a switch output, or a
    // transmitter outside -8192 to 2047, which would be no channel of the switch.
    Slot* INewSlot(const LGCP::CreateParams& params) override;
    void Query(LGCP::Resources&) override {}

private:
    ExtFactory() = default;
};
