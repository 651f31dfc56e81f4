#include "monitoring/monitoring_ctl.h"

MonitoringCtl* MonitoringCtl::instance()
{
    static MonitoringCtl service;
    return &service;
}

bool MonitoringCtl::OnCommand(const LGCP::Command& command)
{
    if (command.currentSelection() != LGCP::Command::display)
        return false;
    Success();
    return true;
}
