#pragma once

// How the owner of the SNMP agent links hears that an agent has connected, so that it can push
// the whole monitored state to it again.

#include <string>

class ISnmpAgentNotify {
public:
    virtual ~ISnmpAgentNotify() = default;

    // The agent's configured name; once per connection.
    virtual void OnSnmpAgentConnect(const std::string& /*name*/) {}
};
