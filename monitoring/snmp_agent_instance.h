#pragma once

// One external SNMP agent process, reached as a TCP client from one sub-section of the
// configuration section "snmpagent". It sends MON messages, pings an agent 5000 ms after its last
// message or the last ping, drops one that has sent nothing for more than 30000 ms or that leaves
// too much unread (writing never waits for an agent), and reads and discards what the agent sends.

#include "asn1/modules/MON.h"
#include "foundation/config/ini_reader.h"
#include "foundation/control/connector_net.h"
#include "foundation/control/notify.h"
#include "foundation/reactor/timer.h"
#include "foundation/util/inet4_addr.h"

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

class ISnmpAgentNotify;

class SnmpAgentInstance : public Control::Notify {
public:
    // Single bits, so that the items of the agent link can name several types at once.
    enum MonitoringAddressType : int { lemzgw = 1, vask = 2, lemzgw_qx = 4 };
    enum State { not_started = 0, started = 1, connected = 2, connection_lost = 3 };

    SnmpAgentInstance() = default;
    ~SnmpAgentInstance() override;
    SnmpAgentInstance(const SnmpAgentInstance&) = delete;
    SnmpAgentInstance& operator=(const SnmpAgentInstance&) = delete;

    // Reads the agent's keys and starts connecting; a refused sub-section leaves it not started.
    void Activate(IniFile::SubSection& subsection);
    void Bind(ISnmpAgentNotify* listener) { listener_ = listener; }

    void OnConnect() override;
    void OnDisconnect() override;
    void OnMessage(const char* data, int length) override;

    void OnMessage(const MON::Message& message);
    // Answers and signals of the agent are read and not used.
    void OnResponse(const MON::Response&) {}
    void OnSignal(const MON::Signal&) {}

    // Sends the command while connected; dropped silently otherwise.
    void Command(const MON::Command& command);
    void Send(const MON::Message& message);

    void SetPingTimer();
    void OnPingTimer(Timer* timer);

    MonitoringAddressType address_type() const { return type_; }
    const std::string& name() const { return name_; }
    State state() const { return state_; }
    void PutHeader(std::ostream& out) const;

private:
    std::unique_ptr<Control::ConnectorNet> connector_;
    MonitoringAddressType type_ = MonitoringAddressType(0);
    std::string name_;
    std::string header_;
    INet4::Addr address_;
    State state_ = not_started;
    // Mux::milliseconds() of the last message received (or of the connect).
    uint32_t stamp_ = 0;
    Timer ping_;
    ISnmpAgentNotify* listener_ = nullptr;
};

// The words of the key "name", closed by an empty entry.
extern const IniFile::Symbol monitoringAddressTypes[];
