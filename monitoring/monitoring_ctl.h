#pragma once

// The monitoring service, bound last to the control server. It polls the board on three
// self-arming timers (versions, configuration, framers and temperature every minute; power, DIP
// switch and network links every 2 s; the local controller program every 5 s), keeps what it
// found in its state holder, which mirrors it into "/var/monitoring/", and pushes every change to
// the SNMP agents as MIB items. It sends the controller the power signal, applies the display
// command, and pushes the whole state again whenever an agent connects.

#include "monitoring/i_snmp_agent_notify.h"
#include "monitoring/monitoring_data_holder.h"
#include "monitoring/snmp_agent_ctrl.h"

#include "foundation/os/fd.h"
#include "foundation/reactor/dpc.h"
#include "foundation/reactor/timer.h"
#include "server/ctrl_service.h"

#include <cstdint>

namespace IniFile {
class File;
}

class MonitoringCtl : public CtrlSrv::Service, public ISnmpAgentNotify {
public:
    static MonitoringCtl* instance();
    ~MonitoringCtl() override;

    // Starts the agents of the section "snmpagent" and listens to them.
    void Configure(IniFile::File& file);

    void OnConnect() override;
    void OnDisconnect() override;
    // Claims the display command only.
    bool OnCommand(const LGCP::Command& command) override;
    // Follows the E1 trunk status reports in the framers' state.
    void OnSignal(const LGCP::Signal& signal) override;

    void OnDisplayCMD(const LGCP::DisplayParams& params);
    void setFramerLed(const LGCP::FramerInfo& info);
    // Opens "/dev/hal" with all LEDs off when it is not open yet; false when it cannot be opened.
    bool IsOpen();

    void onBkgCheckTimer(Timer* timer);
    void onPowerCheckTimer(Timer* timer);
    void onControllerCheckTimer(Timer* timer);
    void doVersionsCheck();
    void doConfigCheck();
    void doFramerCheck();
    void doTemperatureCheck();
    void doPowerCheck();
    void doDipCheck();
    void doNetIfCheck();
    void doControllerCheck();
    void sendPowerStatus();

    // The MIB items: each reads one piece of the kept state and queues it for the agents, or
    // sends it to them at once (trap receivers, set commands).
    void sendSnmpDriverBuild();
    void sendSnmpSoftwareBuild();
    void sendSnmpPowerStatus();
    void sendSnmpControllerStatus();
    void sendSnmpGatewayDip();
    void sendSnmpGatewayConfigVersion();
    void sendSnmpTemperature();
    void sendSnmpStatusBuildVersion();
    void sendSnmpStatusFPGAVersion();
    void sendSnmpStatusBootVersion();
    void sendSnmpStatusBoardVersion();
    void sendSnmpBoardStatus(const LGCP::BoardStatusParams& board);
    void sendSnmpBoardStatuses();
    void sendSnmpEmPhoneStatus(const LGCP::EmPhoneStatusParams& phone);
    void sendSnmpEmPhoneStatuses();
    void sendSnmpRouterTermCnt();
    void sendSnmpControllerTermCnt();
    void sendSnmpServerTermCnt();
    void sendSnmpBoardTermCnt();
    void sendSnmpFramerStatus(const FramerDataHolder& framer);
    void sendSnmpFramerStatus();
    void sendSnmpNetIfStatus(const NetIfDataHolder& interface);
    void sendSnmpNetIfStatus();
    void sendSnmpTrapReceivers();
    void sendSnmpCommands();
    void sendSnmpCommands(const MON::SnmpSetCommands& commands);
    // An agent came up: the whole state goes out once on the next pass, however many came up.
    void OnSnmpAgentConnect(const std::string& name) override;
    // The full push.
    void OnDpcSend();

private:
    MonitoringCtl();

    // Queues one value of every counter of the owner (a number of LGCP::TermCounterOwner).
    void sendTermCounters(SnmpAgentCtrl::MonitoringItemType item, int owner);
    // A byte the driver of "/dev/hal" fills in; false when the device cannot be had or refuses.
    bool readBoardByte(uint32_t request, uint8_t& byte);
    // Hands the LED byte to the driver.
    void writeLeds();

    Fd board_;
    MonitoringDataHolder holder_;
    SnmpAgentCtrl agents_;
    Timer bkgTimer_;
    Timer powerTimer_;
    Timer controllerTimer_;
    uint8_t leds_ = 0;
    Dpc push_;
};
