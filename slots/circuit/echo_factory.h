#pragma once

// The factory of the echo-bus slots ("Echo", create alternative `echo`), made eighth by start-up.
// It serves only buses found present when it is made, and reports them as `echoBus`. No way of
// detecting an echo bus is known, so the scan finds none and every echo create is refused.

#include "server/slot_factory.h"

#include <array>

class EchoFactory : public SlotFactory {
public:
    static constexpr unsigned buses = 16;

    static EchoFactory* instance();

    const char* GetName() const override { return "Echo"; }
    Slot* INewSlot(const LGCP::CreateParams& params) override;
    // Appends every present bus, in order.
    void Query(LGCP::Resources& resources) override;

private:
    EchoFactory() { Scan(); }

    void Scan();

    std::array<bool, buses> present{};
};
