#pragma once

// Channels of the IPC bus: a transmit channel, a receive channel, or both, each a switch output
// (8192 + 128 x bus + channel). The slot owns no device; it answers its channels to the switch and
// reports open the streams it has as soon as it exists. The map factory keeps each IPC-bus channel
// held by at most one map slot.

#include "server/slot.h"

class MapFactory;

class MapSlot : private Slot {
public:
    // -1 for a direction the slot does not have.
    MapSlot(int tx, int rx) : tx(tx), rx(rx) {}

    void IAfterCreate() override;
    // Frees its channels in the owning factory and floats the receive output; the slot goes at once.
    bool IBeforeDestroy() override;
    bool IOnOutputStream() override { return tx >= 0; }
    bool IOnInputStream() override { return rx >= 0; }
    int IGetTransmitChannel() override { return tx; }
    int IGetReceiveChannel() override { return rx; }
    const char* GetName() const override { return "map"; }

private:
    friend class MapFactory;

    const int tx;
    const int rx;
};
