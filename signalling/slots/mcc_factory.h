#pragma once

// The factory of the channel-controller data slots (create alternative "mcc"); it reports the
// controller's free channels in the resource report.

#include "server/slot_factory.h"

#include <ostream>

class MccFactory : public SlotFactory {
public:
    static MccFactory* instance();

    const char* GetName() const override { return "MCC"; }
    Slot* INewSlot(const LGCP::CreateParams& params) override;
    // mcc-data, mcc-bri and mcc-trans: the free channels as the driver counts them, 0 when it cannot.
    void Query(LGCP::Resources& resources) override;
    void PutHeader(std::ostream& out) const { out << "mcc: "; }

private:
    MccFactory() = default;
};
