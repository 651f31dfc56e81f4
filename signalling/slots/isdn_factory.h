#pragma once

// The factory of the ISDN and QSIG slots: "isdn" (a D channel on the channel controller), "ats-qsig"
// (a QSIG D channel of the DSP data driver) and "ats-qsig-b" (a B channel of such a D channel).

#include "server/slot_factory.h"

#include <ostream>

namespace LGCP {
class AtsQsigBParams;
class AtsQsigParams;
class IsdnParams;
}  // namespace LGCP

class IsdnFactory : public SlotFactory {
public:
    static IsdnFactory* instance();

    const char* GetName() const override { return "ISDN"; }
    Slot* INewSlot(const LGCP::CreateParams& params) override;
    void Query(LGCP::Resources&) override {}
    // The slot of this factory with the controller slot number, or null.
    Slot* FindSlot(unsigned int number) const;
    void PutHeader(std::ostream& out) const { out << "mcc/isdn: "; }

private:
    IsdnFactory() = default;
    Slot* NewIsdnSlot(const LGCP::IsdnParams& params);
    Slot* NewAtsQsigSlot(const LGCP::AtsQsigParams& params);
    Slot* NewAtsQsigBSlot(const LGCP::AtsQsigBParams& params);
};
