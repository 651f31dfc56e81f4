#pragma once

// A controller link over a Unix-domain stream socket; the peer is named by its socket path.

#include "foundation/control/service.h"

#include <string>

namespace Control {

class ServiceUnix : public Service {
public:
    using Peer = std::string;

    explicit ServiceUnix(bool verbose = true) : Service(verbose) {}

protected:
    using Service::Connected;
};

}  // namespace Control
