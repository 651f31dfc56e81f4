#pragma once

// The source of the board's TDM clock, selected on "/dev/hal". The controller chooses it with
// clockCfg; whenever a controller connects or goes away the clock returns to free-running. With
// control disabled (the "--disable-clock" start option) no clock request is ever issued and
// clockCfg is refused. Log lines go to the error stream behind "clkctl: ".

#include "server/ctrl_service.h"

#include "foundation/os/fd.h"

#include <iosfwd>

class spiCtrl;

class BusCtl : public CtrlSrv::Service {
public:
    // The process's one service, built on first use.
    static BusCtl* instance();

    // The BRI chips' service is told when no chip may be clock master; without one given, the
    // process's one, looked up only then.
    explicit BusCtl(spiCtrl* spi = nullptr);
    ~BusCtl() override;

    // For the rest of the process: nothing is ever requested, clockCfg is refused.
    void DisableControl();

    // Both return the clock to free-running when control is enabled.
    void OnConnect() override;
    void OnDisconnect() override;
    bool OnCommand(const LGCP::Command& command) override;

    void SetDefaultClock();
    // False when no clock source could be selected.
    bool SetClockSrc(const LGCP::ClockCfg& cfg);
    // Opens the device when needed (never with control disabled); a failed open is tried again
    // on the next call.
    bool IsOpen();

    void PutHeader(std::ostream& out) const;

private:
    bool DrvSetClkSrc(int source);
    spiCtrl& spi();

    Fd fd_;
    bool enabled_ = true;
    spiCtrl* spi_;
};
