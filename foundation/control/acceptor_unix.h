#pragma once

// The Unix-domain acceptor: listens on a socket path and serves one peer at a time. A socket
// file left at the path by an earlier listener is replaced; the file stays after Deactivate().

#include "foundation/control/acceptor.h"

#include <string>

namespace Control {

class AcceptorUnix : public Acceptor<ServiceUnix> {
public:
    AcceptorUnix() : AcceptorUnix(std::string()) {}
    explicit AcceptorUnix(const std::string& path);

protected:
    bool ImplActivate() override;

private:
    int BindAddress(int socket) override;

    std::string path_;
};

}  // namespace Control
