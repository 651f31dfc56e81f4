#pragma once

// A modem slot on an analog modem channel of the board's DSP modem driver ("dsp-modem"): on its
// first stream it allocates a modem on the control device "/dev/mctl", configures it, reports
// both streams on the modem's TDM channel and starts the call, pppd on the modem's data device
// "/dev/mdm<index>". The open on which the modem was allocated holds the modem for the slot's
// life.
//
// A fax call instead hands the modem to a fax program, which reaches it by its number: the
// transfer program with the controller's arguments, or the reception program writing
// "/var/fax-<time>.g3"; an outgoing fax without arguments only starts the call in the driver. The
// program's exit code is the number of pages it handled, reported as accounting. The slot holds
// the modem, and so its channel with the routes to it, until its destroy, as for pppd: given back
// when the program ends, the modem would carry the next call while the slot still answers its
// channel.

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
    // While the slot holds its modem on its control open.
    bool started() const override { return modem >= 0 && control; }

    // Starts the fax reception program.
    void RunFaxReceiver();
    // The end of a fax program: reports the pages as accounting (unless the program never ran),
    // then ends as any child.
    void on_fax_terminate(int status);

protected:
    Fd control;
    int channel = -1;
    int modem = -1;

private:
    // The steps after the open of the control device, on its descriptor.
    void Configure(Fd& fd);
    // Answers or originates the call and starts pppd on the modem's data device.
    void StartPppd(Fd fd);
    // The fax program for the call, or the outgoing fax call alone.
    void StartFax(Fd& fd);
    // Starts a fax program watched by on_fax_terminate; the child first waits `delay` seconds and
    // writes `executing` on its standard output. Logs `started` with the modem and its channel.
    void RunFax(const std::string& program, const std::vector<std::string>& arguments, unsigned delay,
                const char* executing, const char* started);
    // Logs the failed step with the system error text and aborts with its errno.
    void Fail(const char* step);
};
