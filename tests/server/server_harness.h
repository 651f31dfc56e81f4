#pragma once

// The control server under test with a controller connected over a socket pair, and a control
// service whose answers the test scripts and which records what it hears.

#include "support/controller_pair.h"
#include "../foundation/reactor/reactor_test_support.h"

#include "server/ctrl_server.h"
#include "server/ctrl_service.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <unistd.h>
#include <vector>

namespace servertest {

using Strings = std::vector<std::string>;

class ScriptedService : public CtrlSrv::Service {
public:
    // Claims nothing unless the test says otherwise.
    std::function<bool(const LGCP::Command&)> on_command = [](const LGCP::Command&) { return false; };
    // "connect", "disconnect", "command <alternative>", "signal <value notation>", in order.
    Strings events;

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

// A control server with the services bound in the given order, as start-up binds them, and a
// connected controller: the test delivers its messages and reads what it received.
struct ServerHarness {
    explicit ServerHarness(std::initializer_list<CtrlSrv::Service*> services)
    {
        for (CtrlSrv::Service* service : services)
            server.Bind(service);
        connect();
    }
    ~ServerHarness()
    {
        server.Deactivate();
        // Process-wide services outlive the server.
        for (CtrlSrv::Service* service : server.services())
            service->server = nullptr;
        close(peer);
    }

    // A new controller connection, after the test has ended the last one.
    void connect()
    {
        if (peer >= 0)
            close(peer);
        reactortest::CaptureStream quiet(std::clog);
        server.Activate(new testsupport::PairConnection(peer));
    }
    void deliver(const std::vector<char>& bytes) { server.OnMessage(bytes.data(), static_cast<int>(bytes.size())); }
    void deliver(const std::string& message) { deliver(testsupport::encode(message)); }
    // What the controller received since the last call, one collapsed message each.
    Strings received() { return testsupport::received(peer); }

    CtrlSrv::Server server;
    int peer = -1;
};

}  // namespace servertest
