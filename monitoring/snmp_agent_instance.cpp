#include "monitoring/snmp_agent_instance.h"

#include "monitoring/i_snmp_agent_notify.h"

#include "asn1/runtime/coder_env.h"
#include "foundation/reactor/clock.h"
#include "foundation/util/ext_header.h"

#include <iostream>
#include <iterator>
#include <sstream>
#include <vector>

const IniFile::Symbol monitoringAddressTypes[] = {
    {"lemzgw", SnmpAgentInstance::lemzgw},
    {"lemzgw.qx", SnmpAgentInstance::lemzgw_qx},
    {"vask", SnmpAgentInstance::vask},
    {nullptr, 0},
};

namespace {

constexpr unsigned ping_ms = 5000;
constexpr int32_t silence_limit_ms = 30000;
// What may wait for an agent beyond its socket's own buffer: several whole-state pushes. An
// agent that leaves more unread reads nothing at all, and the reactor must not wait for it.
constexpr size_t send_queue_limit = 256 * 1024;

}  // namespace

SnmpAgentInstance::~SnmpAgentInstance()
{
    if (!connector_)
        return;
    // Deactivate drops a standing connection without telling us: its loss is handled here.
    connector_->Deactivate();
    if (state_ == connected)
        OnDisconnect();
    connector_->UnBind();
}

void SnmpAgentInstance::Activate(IniFile::SubSection& subsection)
{
    std::string host;
    IniFile::Reader reader("snmpagent: ");
    reader.required.add(&host, "host");
    reader.required.add(&name_, "name");
    reader.required.add(&type_, "name", monitoringAddressTypes);
    if (!reader.parse(subsection))
        return;
    // An agent without a port is left alone for good.
    if (host.find(':') == std::string::npos)
        return;
    // Neither 0.0.0.0 for an address that does not parse nor a port cut to 16 bits is some agent.
    if (!INet4::AssignPeer(address_, host)) {
        std::cerr << "snmpagent: key \"host\" has invalid value=\"" << host << "\", line "
                  << subsection["host"].begin()->line() << ": not an address a.b.c.d:1..65535" << std::endl;
        return;
    }
    state_ = started;
    std::ostringstream header;
    header << "snmpagent." << name_ << ' ' << address_;
    header_ = header.str();
    const std::string text = address_.GetString();
    connector_ = std::make_unique<Control::ConnectorNet>(text.substr(0, text.find(':')), address_.port());
    connector_->service_name(header_);
    connector_->frame_layer_name(header_);
    connector_->LimitSendQueue(send_queue_limit);
    connector_->Bind(this);
    connector_->Activate();
}

void SnmpAgentInstance::OnConnect()
{
    state_ = connected;
    std::clog << ext::header(this) << ": connected." << std::endl;
    stamp_ = Mux::milliseconds();
    if (listener_)
        listener_->OnSnmpAgentConnect(name_);
}

void SnmpAgentInstance::OnDisconnect()
{
    std::clog << ext::header(this) << ": connection lost, reset snmpagent instance" << std::endl;
    ping_.reset();
    if (state_ == connected)
        state_ = connection_lost;
}

void SnmpAgentInstance::OnMessage(const char* data, int length)
{
    // Whatever arrives is a sign of life, even what does not decode; a running keep-alive pings
    // only after a ping interval of silence from now.
    stamp_ = Mux::milliseconds();
    if (ping_.get())
        SetPingTimer();
    ASN1::CoderEnv environment;
    MON::Message message;
    if (!ASN1::decode(data, data + length, &environment, message, true)) {
        std::cerr << ext::header(this) << ": receive : decode error!" << std::endl;
        return;
    }
    OnMessage(message);
}

void SnmpAgentInstance::OnMessage(const MON::Message& message)
{
    const MON::PDU& pdu = message.get_pdu();
    if (const MON::Response* response = pdu.get_response())
        OnResponse(*response);
    else if (const MON::Signal* signal = pdu.get_signal())
        OnSignal(*signal);
    else
        std::cerr << ext::header(this) << ": receive unknown message type" << std::endl;
}

void SnmpAgentInstance::Command(const MON::Command& command)
{
    MON::Message message;
    message.get_pdu().select_command() = command;
    Send(message);
}

void SnmpAgentInstance::Send(const MON::Message& message)
{
    if (!connector_ || connector_->state() != Control::Service::State::Connected)
        return;
    ASN1::CoderEnv environment;
    std::vector<char> octets;
    if (!ASN1::encode(message, &environment, std::back_inserter(octets))) {
        std::clog << ext::header(this) << ": encode MON message fail!!!" << std::endl;
        return;
    }
    connector_->Send(octets.data(), int(octets.size()));
    // The first write starts the keep-alive; later ones leave it running, since only what the
    // agent sends shows that it is alive, however often it is written to.
    if (!ping_.get())
        SetPingTimer();
    // An agent is only found silent when something is written to it.
    const uint32_t now = Mux::milliseconds();
    if (int32_t(now - stamp_) > silence_limit_ms) {
        std::clog << ext::header(this) << ": ping timeout !!!"
                  << " now=" << now << " stamp=" << stamp_ << std::endl;
        connector_->Disconnect();
    }
}

void SnmpAgentInstance::SetPingTimer() { ping_.set(ping_ms, &SnmpAgentInstance::OnPingTimer, this); }

void SnmpAgentInstance::OnPingTimer(Timer*)
{
    MON::Command ping;
    ping.select_ping();
    Command(ping);
}

void SnmpAgentInstance::PutHeader(std::ostream& out) const { out << header_; }
