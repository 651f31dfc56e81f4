#pragma once

// Watches the controller: answers its ping and drops the controller connection once 120 s pass
// without any command. Bound first to the control server, so it sees every command before any
// other service is offered it. The watch starts with the first command, not with the connection.

#include "server/ctrl_service.h"

#include "foundation/reactor/timer.h"

class HeartBeatCtl : public CtrlSrv::Service {
public:
    static constexpr unsigned timeout_ms = 120000;

    static HeartBeatCtl* instance();

    void OnConnect() override {}
    void OnDisconnect() override;
    // Re-arms the watch for every command; claims and answers only ping.
    bool OnCommand(const LGCP::Command& command) override;

    void ResetTimeOut();
    void OnHeartbeatTimeout(Timer* timer);

private:
    HeartBeatCtl() = default;

    Timer timeout;
};
