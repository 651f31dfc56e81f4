#pragma once

// A channel pair towards an external board (name "bri"): the transmit channel is open from
// creation, the receive channel, one of the switch outputs, only between the controller's activate
// and deactivate. While it is closed nothing can be connected into the slot, and the output floats.

#include "server/slot.h"

class ExtFactory;

class ExtSlot : private Slot {
public:
    ExtSlot(int tx, int rx) : tx(tx), rx(rx) {}

    void IAfterCreate() override { OnChangeOutputStream(true); }
    // Floats the receive output; the slot goes at once.
    bool IBeforeDestroy() override;
    // Opens the receive side with the idle byte on its output. The parameters are not read.
    bool IActivate(const TERM::TermActivateParams&) override;
    // Cuts the source, closes the receive side and floats its output.
    bool IDeactivate() override;
    bool IOnOutputStream() override { return true; }
    bool IOnInputStream() override { return IsInputOpen(); }
    int IGetTransmitChannel() override { return tx; }
    int IGetReceiveChannel() override { return rx; }
    const char* GetName() const override { return "bri"; }

private:
    friend class ExtFactory;

    const int tx;
    const int rx;
};
