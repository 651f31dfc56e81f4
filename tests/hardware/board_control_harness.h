#pragma once

// The board control services under test, in this process: a fresh root with the board emulator,
// a control server to which the test binds its services, and the controller's end of that
// server's connection, where every answer and signal arrives and is read back in value
// notation, collapsed to one line: "{ seq 1, pdu response : success : NULL }". What the
// services log to the debug and error streams is captured.

#include "emulated_device_test.h"

#include "server/ctrl_server.h"
#include "server/ctrl_service.h"

#include <memory>
#include <utility>
#include <vector>

namespace boardtest {

class BoardControlTest : public BoardTest {
protected:
    ~BoardControlTest() override;

    // A service made now and bound to the server: services are offered commands, and hear
    // connects and disconnects, in the order they were made. They live until the test ends,
    // when the controller goes first.
    template <class Service, class... Arguments>
    Service& make(Arguments&&... arguments)
    {
        auto service = std::make_unique<Service>(std::forward<Arguments>(arguments)...);
        Service& made = *service;
        server.Bind(&made);
        services_.push_back(std::move(service));
        return made;
    }
    // The controller connects, or goes away: the bound services hear of it.
    void connect();
    void disconnect() { server.Deactivate(); }
    // A message as the controller sends it, in value notation; handled before this returns.
    void send(const std::string& message);
    // The messages the controller received since the last call.
    Strings received();
    // Moves the reactor's clock on and lets it run for a moment, so that what fell due runs.
    void pass_ms(unsigned ms);

    CtrlSrv::Server server;

private:
    std::vector<std::unique_ptr<CtrlSrv::Service>> services_;
    int peer_ = -1;
    int64_t offset_us_ = 0;
};

}  // namespace boardtest
