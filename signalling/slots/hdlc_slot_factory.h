#pragma once

// The factory of the raw HDLC slots (create alternative "hdlcParams").

#include "signalling/slots/trunk_status_factory.h"

class HdlcSlotFactory : public TrunkStatusFactory {
public:
    static HdlcSlotFactory* instance();

    const char* GetName() const override { return "HdlcSlotFactory"; }
    Slot* INewSlot(const LGCP::CreateParams& params) override;
    void Query(LGCP::Resources&) override {}

private:
    HdlcSlotFactory() = default;
};
