#include "server/heart_beat_ctl.h"

#include "server/ctrl_server.h"

#include <iostream>

HeartBeatCtl* HeartBeatCtl::instance()
{
    static HeartBeatCtl service;
    return &service;
}

void HeartBeatCtl::OnDisconnect() { timeout.reset(); }

bool HeartBeatCtl::OnCommand(const LGCP::Command& command)
{
    ResetTimeOut();
    if (command.currentSelection() != LGCP::Command::ping)
        return false;
    Success();
    return true;
}

void HeartBeatCtl::ResetTimeOut() { timeout.set(timeout_ms, &HeartBeatCtl::OnHeartbeatTimeout, this); }

void HeartBeatCtl::OnHeartbeatTimeout(Timer*)
{
    std::clog << "heartbeat timeout!!!" << std::endl;
    if (server)
        server->OnHeartbeatTimeout();
}
