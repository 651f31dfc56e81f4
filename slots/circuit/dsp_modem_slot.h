#pragma once

// A modem slot on an analog modem channel of the board's DSP modem driver ("dsp-modem"): on its
// first stream it allocates a modem on the control device "/dev/mctl", configures it, reports
// both streams on the modem's TDM channel and starts the call, pppd on the modem's data device
// "/dev/mdm<index>". The open on which the modem was allocated is kept for the slot's life.

#include "slots/circuit/modem_slot.h"

#include "foundation/os/fd.h"

class DspModemSlot : public ModemSlot {
public:
    explicit DspModemSlot(const TERM::ModemParams& params) : ModemSlot(params) {}
    // Kills a child that still runs, unbinds and closes the control descriptor.
    ~DspModemSlot() override;

    const char* GetName() const override { return "dsp-modem"; }
    int IGetTransmitChannel() override { return channel; }
    int IGetReceiveChannel() override { return channel; }
    int modem_id() const override { return modem; }
    void unbind() override;

    // Until a modem is allocated and stored: allocates, configures and starts it. A failure that
    // stops the start is logged and sent as abort with the errno; the next stream tries again.
    bool InitModem() override;
    bool started() const override { return modem >= 0; }

protected:
    Fd control;
    int channel = -1;
    int modem = -1;

private:
    // The steps after the open of the control device, on its descriptor.
    void Configure(Fd fd);
    // Answers or originates the call and starts pppd on the modem's data device.
    void StartPppd(Fd fd);
    // Logs the failed step with the system error text and aborts with its errno.
    void Fail(const char* step);
};
