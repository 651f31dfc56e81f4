#pragma once

// The slot factories whose slot types are not built yet. They hold their places in the factory
// list already, the fourteen that start-up makes on first use, so that the list has its final
// order; they make no slot and add nothing to the resource report. Each gives way to its slot
// type's own factory.

#include "server/slot_factory.h"

class PendingFactory : public SlotFactory {
public:
    explicit PendingFactory(const char* name);
    const char* GetName() const override;
    Slot* INewSlot(const LGCP::CreateParams& params) override;
    void Query(LGCP::Resources& resources) override;

private:
    const char* name_;
};

// A factory made on first use, named by Name::text.
template <class Name>
class PendingSingleton : public PendingFactory {
public:
    static PendingSingleton* instance()
    {
        static PendingSingleton factory;
        return &factory;
    }

private:
    PendingSingleton() : PendingFactory(Name::text) {}
};

namespace PendingName {
struct Pstn { static constexpr const char* text = "PSTN"; };
struct Mcc { static constexpr const char* text = "MCC"; };
struct Isdn { static constexpr const char* text = "ISDN"; };
struct HdlcSlot { static constexpr const char* text = "HdlcSlotFactory"; };
}  // namespace PendingName

using PstnFactory = PendingSingleton<PendingName::Pstn>;
using MccFactory = PendingSingleton<PendingName::Mcc>;
using IsdnFactory = PendingSingleton<PendingName::Isdn>;
using HdlcSlotFactory = PendingSingleton<PendingName::HdlcSlot>;
