#pragma once

// The board's four E1 trunks: their synchronisation status, reported once a second from
// "/dev/maintenance" as trunkStatus signals; their transmit-clock (TCLK) mask, kept from the
// controller's trunkCfg; and CAS signalling on "/dev/e1-cas": CAS opened and closed on a trunk or
// on one time slot, a time slot's bits set and read, and every change the driver reports, each
// told to the controller as a cas signal. Driver failures of CAS requests travel in those signals
// (rx holds the negative result). Log lines start with "E1: ".

#include "server/ctrl_service.h"

#include "foundation/os/fd.h"
#include "foundation/reactor/event.h"
#include "foundation/reactor/timer.h"

#include <array>
#include <cstdint>
#include <iosfwd>

class E1Ctl : public CtrlSrv::Service {
public:
    static constexpr int trunk_count = 4;

    // The process's one service, built on first use.
    static E1Ctl* instance();

    // Used by instance(); tests make their own. Opens nothing.
    E1Ctl() = default;
    ~E1Ctl() override;

    // Reports the status at once and then every second, from now on even without a controller;
    // writes a cleared TCLK mask.
    void OnConnect() override;
    // Closes CAS on every trunk this service opened.
    void OnDisconnect() override;
    // Claims trunkCfg and every ioctl that reaches it.
    bool OnCommand(const LGCP::Command& command) override;

    void SendStatus();
    void SetMode(const LGCP::TrunkCfg& cfg);
    void UpdateTclk();
    // Opens the maintenance device when needed; silent when it cannot.
    bool IsOpen();
    // Opens the CAS device when needed and watches it for change reports; silent when it cannot.
    bool CheckOpenCas();

    void PutHeader(std::ostream& out) const;

private:
    void OnCheckStatus();
    void OnIoctl(const LGCP::IoctlParams& params);
    // The trunk is 0 to 3 and CAS open on the device.
    void HandleCas(const LGCP::CasCommand& command);
    void HandleCasOpen(int trunk, int timeslot, int value);
    void HandleCasClose(int trunk, int timeslot);
    void HandleCasSet(int trunk, int timeslot, int value);
    void HandleCasGet(int trunk, int timeslot);
    void OnUpdateCas(int fd, short revents);
    void SendCas(int trunk, int timeslot, int rx, int tx);

    Fd maintenance_;
    Timer status_;
    Fd cas_;
    Event casEvent_;
    std::array<bool, trunk_count> casOpen_{};
    // Bit n set: trunk n was last configured slave.
    uint32_t tclk_ = 0;
};
