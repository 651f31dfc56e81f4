#pragma once

// One channel of an echo bus (bus x 32 + channel): both streams open as soon as the slot exists,
// the same channel both ways.

#include "server/slot.h"

class EchoFactory;

class EchoSlot : private Slot {
public:
    explicit EchoSlot(unsigned int channel) : channel(channel) {}

    void IAfterCreate() override;
    // Nothing to free: the slot goes at once.
    bool IBeforeDestroy() override { return true; }
    bool IOnOutputStream() override { return true; }
    bool IOnInputStream() override { return true; }
    int IGetTransmitChannel() override { return static_cast<int>(channel); }
    int IGetReceiveChannel() override { return static_cast<int>(channel); }
    const char* GetName() const override { return "echo"; }

private:
    friend class EchoFactory;

    const unsigned int channel;
};
