#pragma once

// The factory of the map slots ("Map", create alternative `map`), made by start-up first of all.
// One table, indexed by logical channel (switch channel - 8192), serves both directions: a new
// map slot that names a channel held by another map slot destroys that holder and takes the
// channel; it never fails on that ground.

#include "server/slot_factory.h"

#include "asn1/modules/LGCP.h"

#include <array>

class MapSlot;

// The switch channel of an IPC-bus channel: 8192 + 128 x bus + channel.
int GetMapTimeSlot(const LGCP::SharedChannel& channel);

class MapFactory : public SlotFactory {
public:
    // Logical channels 0 to 2047: the switch outputs 8192 to 10239.
    static constexpr int channels = 2048;

    static MapFactory* instance();

    const char* GetName() const override { return "Map"; }
    Slot* INewSlot(const LGCP::CreateParams& params) override;
    void Query(LGCP::Resources&) override {}

    // Enters the slot's channels, receiver first, evicting their old holders.
    void AllocateMapSlot(MapSlot* slot);
    // Takes the slot's channels out and floats its receive output; the transmit side is left as
    // the switch has it.
    void ReleaseMapSlot(MapSlot* slot);

private:
    MapFactory() = default;

    // Empties the entry, saying so when it did not hold the slot.
    void Vacate(int channel, const MapSlot* slot, int code);

    std::array<MapSlot*, channels> table{};
};
