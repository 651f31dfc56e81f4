#pragma once

// A factory whose slots hear every trunk status the slot service passes on.

#include "server/slot_factory.h"

class TrunkStatusFactory : public SlotFactory {
public:
    // A trunkStatus signal goes to OnTrunkStatus of every slot of the factory; others are ignored.
    void SelfSignal(const LGCP::Signal& signal) override;
};
