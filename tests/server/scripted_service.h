#pragma once

// A control service whose answer to a command the test scripts, and which records what it hears.

#include "controller_pair.h"

#include "server/ctrl_service.h"

#include <functional>
#include <string>
#include <vector>

namespace servertest {

class ScriptedService : public CtrlSrv::Service {
public:
    // Claims nothing unless the test says otherwise.
    std::function<bool(const LGCP::Command&)> on_command = [](const LGCP::Command&) { return false; };
    // "connect", "disconnect", "command <alternative>", "signal <value notation>", in order.
    std::vector<std::string> events;

    void OnConnect() override { events.push_back("connect"); }
    void OnDisconnect() override { events.push_back("disconnect"); }
    bool OnCommand(const LGCP::Command& command) override
    {
        events.push_back("command " + std::to_string(command.currentSelection()));
        return on_command(command);
    }
    void OnSignal(const LGCP::Signal& signal) override
    {
        events.push_back("signal " + collapse(signal.asValueNotation()));
    }
};

}  // namespace servertest
