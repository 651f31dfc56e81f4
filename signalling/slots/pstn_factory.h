#pragma once

// The factory of the PSTN slots (create alternative "pstn"); the trunk states it hands to its slots
// are the SS7 links' hardware state.

#include "signalling/slots/trunk_status_factory.h"

class PstnFactory : public TrunkStatusFactory {
public:
    static PstnFactory* instance();

    const char* GetName() const override { return "PSTN"; }
    Slot* INewSlot(const LGCP::CreateParams& params) override;
    void Query(LGCP::Resources&) override {}
    // E1 trunk states only: the BRI lines number their reports from 0 as well.
    void SelfSignal(const LGCP::Signal& signal) override;

private:
    PstnFactory() = default;
};
