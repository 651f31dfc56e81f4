#pragma once

// A TCP client link that keeps connecting to one peer (the SNMP agent link uses it).

#include "foundation/control/connector.h"

#include <cstdint>
#include <string>

namespace Control {

class ConnectorNet : public Connector<ServiceNet> {
public:
    ConnectorNet() : ConnectorNet(std::string(), 0) {}
    // A dotted IPv4 address; a colon and a port in the text take the place of the port.
    ConnectorNet(const std::string& host, unsigned short port);
    // A dotted IPv4 address with an optional colon and decimal port (0 without one).
    explicit ConnectorNet(const std::string& address);

    // An address that does not parse is reported and retried like a refused connect.
    void TryConnect() override;

    const std::string& host() const { return host_; }
    uint16_t port() const { return port_; }

protected:
    std::string Target() const override;
    void OnWritable() override;

private:
    uint16_t port_;
    std::string host_;
    // The peer of the current attempt.
    INet4::Addr address_;
};

}  // namespace Control
