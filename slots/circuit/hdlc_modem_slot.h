#pragma once

// A modem slot for a digital (ISDN data) call carried on one of the kernel's generic-HDLC network
// interfaces ("digital-modem"): on a stream it asks the interface for its TDM channel, switches it
// to PPP framing and starts pppd on it; its end returns the interface, down, to plain HDLC
// framing. It has no modem number: its modem id is -1.

#include "slots/circuit/modem_slot.h"

#include <string>

class HdlcModemSlot : public ModemSlot {
public:
    HdlcModemSlot(const TERM::ModemParams& params, const std::string& interface);
    // Kills a child that still runs, unbinds and restores the interface's HDLC framing.
    ~HdlcModemSlot() override;

    const char* GetName() const override { return "digital-modem"; }
    int IGetTransmitChannel() override { return channel; }
    int IGetReceiveChannel() override { return channel; }
    int modem_id() const override { return -1; }
    void unbind() override;
    // Unless a child runs: the channel, PPP framing and pppd. Failures are only logged.
    bool InitModem() override;
    bool started() const override { return channel >= 0; }

    const std::string& interface_name() const { return interfaceName; }

private:
    void RestoreHdlc();

    int channel = -1;
    std::string interfaceName;
};
