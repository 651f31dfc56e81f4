#include "slots/circuit/map_factory.h"

#include "slots/circuit/map_slot.h"

#include "board/hw_mux.h"
#include "server/slots.h"

#include <iostream>

int GetMapTimeSlot(const LGCP::SharedChannel& channel)
{
    return static_cast<int>(channel.get_bus().getValue() * 128 + channel.get_channel().getValue()) +
           HwMux::first_output;
}

MapFactory* MapFactory::instance()
{
    static MapFactory factory;
    return &factory;
}

Slot* MapFactory::INewSlot(const LGCP::CreateParams& params)
{
    const LGCP::MapParams* map = params.get_map();
    if (!map)
        return nullptr;
    using Optional = LGCP::MapParams::Optional;
    int tx = map->hasOptionalField(Optional::transmitter) ? GetMapTimeSlot(map->get_transmitter()) : -1;
    int rx = map->hasOptionalField(Optional::receiver) ? GetMapTimeSlot(map->get_receiver()) : -1;
    auto* slot = new MapSlot(tx, rx);
    AllocateMapSlot(slot);
    return slot;
}

void MapFactory::AllocateMapSlot(MapSlot* slot)
{
    for (int channel : {slot->rx, slot->tx}) {
        if (channel < 0)
            continue;
        MapSlot*& entry = table[channel - HwMux::first_output];
        // A slot naming one channel both ways holds it once and is no old holder of it.
        if (entry && entry != slot) {
            std::cerr << "map-slot: two slots require the same ipc-slot, remove old." << std::endl;
            std::cerr << "new slot " << *slot << " <-> old slot " << *entry << std::endl;
            // Its release empties every entry it holds, this one included.
            Slots::instance()->Destroy(entry);
        }
        entry = slot;
    }
}

void MapFactory::ReleaseMapSlot(MapSlot* slot)
{
    if (slot->rx >= 0) {
        int channel = slot->rx - HwMux::first_output;
        std::clog << "map: disable map channel " << channel << std::endl;
        HwMux::instance()->Disable(slot->rx);
        Vacate(channel, slot, 1);
    }
    // A channel named both ways has gone with the receiver.
    if (slot->tx >= 0 && slot->tx != slot->rx)
        Vacate(slot->tx - HwMux::first_output, slot, 2);
}

void MapFactory::Vacate(int channel, const MapSlot* slot, int code)
{
    if (table[channel] != slot)
        std::cerr << "map-slot: internal error! MapFactory::ReleaseMapSlot() code " << code << std::endl;
    table[channel] = nullptr;
}
