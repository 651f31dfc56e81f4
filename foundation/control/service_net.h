#pragma once

// A controller link over TCP: remembers the peer's address.

#include "foundation/control/service.h"
#include "foundation/util/inet4_addr.h"

namespace Control {

class ServiceNet : public Service {
public:
    using Peer = INet4::Addr;

    explicit ServiceNet(bool verbose = true) : Service(verbose) {}

    const INet4::Addr& peer() const { return peer_; }

protected:
    // Turns on keep-alive and turns off Nagle's algorithm on the socket, then takes the
    // connection as Service::Connected does. Ignored while Deactivating.
    void Connected(Fd socket, const INet4::Addr& peer);

private:
    INet4::Addr peer_;
};

}  // namespace Control
