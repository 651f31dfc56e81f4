#pragma once

// The TCP acceptor: listens on a port of every local address and serves one peer at a time.

#include "foundation/control/acceptor.h"

#include <cstdint>

namespace Control {

class AcceptorNet : public Acceptor<ServiceNet> {
public:
    AcceptorNet() : AcceptorNet(0, true) {}
    explicit AcceptorNet(int port) : AcceptorNet(port, true) {}
    AcceptorNet(int port, bool verbose);

protected:
    // False, and the service Idle, only when no socket can be created; a bind that has to be
    // retried counts as started.
    bool ImplActivate() override;

private:
    int BindAddress(int socket) override;

    uint16_t port_;
};

}  // namespace Control
