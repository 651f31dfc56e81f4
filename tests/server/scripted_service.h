#pragma once

// A control service whose answer to a command the test scripts, and which records what it hears.

#include "support/controller_pair.h"

#include "server/ctrl_service.h"

#include <functional>
#include <sstream>
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
        events.push_back("signal " + testsupport::collapse(signal.asValueNotation()));
    }
};

// The log text without the lines in which a server without a controller says it sent nothing.
inline std::string without_unsent(const std::string& log)
{
    std::istringstream lines(log);
    std::string kept;
    for (std::string line; std::getline(lines, line);)
        if (line.find("send fail: Service not attached!") == std::string::npos)
            kept += line + "\n";
    return kept;
}

}  // namespace servertest
