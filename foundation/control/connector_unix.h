#pragma once

// A Unix-domain client link that keeps connecting to a server socket path, optionally from a
// socket bound to a local path of its own.

#include "foundation/control/connector.h"

#include <string>

namespace Control {

class ConnectorUnix : public Connector<ServiceUnix> {
public:
    ConnectorUnix() : ConnectorUnix(std::string(), std::string()) {}
    explicit ConnectorUnix(const std::string& server) : ConnectorUnix(server, std::string()) {}
    ConnectorUnix(const std::string& server, const std::string& local);

    void TryConnect() override;

protected:
    std::string Target() const override { return server_; }
    void OnWritable() override {}

private:
    std::string server_;
    std::string local_;
};

}  // namespace Control
