#pragma once

// The monitoring control service, bound last to the control server: it claims the controller's
// display command. Its links to the SNMP agents and the records it keeps of the signals other
// services send are not built yet.

#include "server/ctrl_service.h"

class MonitoringCtl : public CtrlSrv::Service {
public:
    static MonitoringCtl* instance();

    void OnConnect() override {}
    void OnDisconnect() override {}
    bool OnCommand(const LGCP::Command& command) override;

private:
    MonitoringCtl() = default;
};
