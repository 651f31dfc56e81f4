#include "server/ctrl_server.h"

#include "server/ctrl_service.h"

#include "asn1/runtime/abstract_string.h"
#include "asn1/runtime/coder_env.h"
#include "asn1/runtime/sequence.h"
#include "asn1/runtime/value_notation_writer.h"
#include "foundation/control/service.h"
#include "foundation/util/ext_header.h"
#include "foundation/util/ext_hex.h"

#include <algorithm>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string_view>

CtrlSrv::Server ctrlServer;

namespace CtrlSrv {

namespace {

constexpr unsigned highest_slot = 1023;
// An undecodable payload is shown only this far, so that a hostile peer cannot blow up the log.
constexpr int logged_payload = 256;
constexpr const char support_address[] = "support@tovrasel.invalid";
constexpr unsigned avg_stat_ms = 5000;

// Value notation for the log, in which the text of every field named "password" is hidden.
class LogWriter : public ASN1::AVNEncoder {
public:
    using AVNEncoder::AVNEncoder;

protected:
    bool visitExtensionRoot(const ASN1::SEQUENCE& seq, int index) override
    {
        hiding_ = std::string_view(seq.info()->fieldNames[index]) == "password";
        bool written = AVNEncoder::visitExtensionRoot(seq, index);
        hiding_ = false;
        return written;
    }
    bool do_visit(const ASN1::AbstractString& value) override
    {
        if (!hiding_)
            return AVNEncoder::do_visit(value);
        ASN1::IA5String hidden;
        hidden.setValue("...");
        return AVNEncoder::do_visit(hidden);
    }

private:
    bool hiding_ = false;
};

std::string log_text(const ASN1::AbstractData& value)
{
    std::ostringstream text;
    LogWriter writer(text);
    value.accept(writer);
    return text.str();
}

}  // namespace

Server::~Server() { Deactivate(); }

void Server::Bind(Service* service)
{
    services_.push_back(service);
    service->server = this;
}

bool Server::Activate(Control::Service* connection)
{
    Deactivate();
    connection_ = connection;
    connection_->service_name("server");
    connection_->Bind(this);
    return connection_->Activate();
}

void Server::Deactivate()
{
    if (!connection_)
        return;
    connection_->Deactivate();
    OnDisconnect();
    connection_->UnBind();
    delete connection_;
    connection_ = nullptr;
}

void Server::OnConnect()
{
    std::clog << ext::header(this) << "controller connect." << std::endl;
    for (Service* service : services_)
        service->OnConnect();
    avgStatTimer_.set(avg_stat_ms, &Server::OnUpdateAvgStat, this);
}

void Server::OnDisconnect()
{
    for (Service* service : services_)
        service->OnDisconnect();
    avgStatTimer_.reset();
}

void Server::OnMessage(const char* data, int length)
{
    ASN1::CoderEnv environment;
    LGCP::Message message;
    if (ASN1::decode(data, data + length, &environment, message, true)) {
        Handle(message);
    } else {
        std::cerr << ext::header(this) << "receive fail: decode error!" << std::endl;
        std::cerr << " msg: " << ext::OutBufInHex(data, data + std::min(length, logged_payload))
                  << (length > logged_payload ? "..." : "") << std::endl;
    }
    slot_ = no_slot;
}

void Server::Handle(const LGCP::Message& message)
{
    ackState_ = nothing_sent;
    seqPresent_ = message.hasOptionalField(LGCP::Message::Optional::seq);
    if (seqPresent_)
        seq_ = message.get_seq().getValue();
    const LGCP::Command* command = message.get_pdu().get_command();
    if (!command) {
        Error(LGCP::ErrorCause::unexpectedMsgType);
        return;
    }
    if (message.hasOptionalField(LGCP::Message::Optional::slot)) {
        slot_ = message.get_slot().getValue();
        if (slot_ > highest_slot) {
            slot_ = no_slot;
            Error(LGCP::ErrorCause::invalidSlot);
            return;
        }
    } else {
        slot_ = no_slot;
    }
    bool claimed = false;
    for (Service* service : services_)
        if ((claimed = service->OnCommand(*command)))
            break;
    if (!claimed) {
        Error(LGCP::ErrorCause::unexpectedMsgType);
    } else if (ackState_ == nothing_sent) {
        std::cerr << ext::header(this) << "software error: server do NOT send ack!!!" << std::endl;
        std::cerr << ext::header(this) << "please contact with techsupport (" << support_address << ")" << std::endl;
        Error(LGCP::ErrorCause::internal);
    }
}

void Server::OnHeartbeatTimeout()
{
    if (connection_)
        connection_->Disconnect();
}

bool Server::CheckServerConnection(bool& connected) const
{
    if (!connection_)
        return false;
    connected = connection_->state() == Control::Service::State::Connected;
    return true;
}

void Server::Success()
{
    if (ackState_ != nothing_sent)
        return;
    Respond(nullptr);
    ackState_ = success_sent;
}

void Server::Error(LGCP::ErrorCause::NamedNumber cause)
{
    if (ackState_ == error_sent)
        return;
    Respond(&cause);
    ackState_ = error_sent;
}

unsigned Server::delayResponse()
{
    ackState_ = success_sent;
    return static_cast<unsigned>(seq_);
}

void Server::Respond(const LGCP::ErrorCause::NamedNumber* cause)
{
    LGCP::Message message;
    if (seqPresent_)
        message.set_seq(seq_);
    if (slot_ != no_slot)
        message.set_slot(slot_);
    LGCP::Response& response = message.get_pdu().select_response();
    if (cause)
        response.select_error().setValue(*cause);
    else
        response.select_success();
    SendMsg(message);
}

void Server::delayedSuccess(unsigned slot, unsigned seq)
{
    LGCP::Message message;
    message.set_seq(static_cast<int>(seq));
    message.set_slot(slot);
    message.get_pdu().select_response().select_success();
    SendMsg(message);
}

void Server::delayedSuccess(unsigned slot)
{
    LGCP::Message message;
    message.set_slot(slot);
    message.get_pdu().select_response().select_success();
    SendMsg(message);
}

void Server::SendSignal(const LGCP::Signal& signal)
{
    LGCP::Message message;
    if (slot_ != no_slot)
        message.set_slot(slot_);
    message.get_pdu().select_signal() = signal;
    SendMsg(message);
}

void Server::SendSignal(unsigned slot, const LGCP::Signal& signal)
{
    LGCP::Message message;
    message.set_slot(slot);
    message.get_pdu().select_signal() = signal;
    SendMsg(message);
}

void Server::SendMsg(const LGCP::Message& message)
{
    ASN1::CoderEnv environment;
    std::vector<char> octets;
    octets.reserve(200);
    if (!ASN1::encode(message, &environment, std::back_inserter(octets))) {
        // Printed from a string: a value that cannot be written would leave the error stream failed.
        std::cerr << ext::header(this) << "send fail: encode error! " << log_text(message) << std::endl;
        return;
    }
    if (!connection_) {
        std::cerr << ext::header(this) << "send fail: Service not attached!" << std::endl;
        return;
    }
    connection_->Send(octets.data(), static_cast<int>(octets.size()));
}

void Server::PutHeader(std::ostream& out) const
{
    if (!connection_)
        out << "ctrl [null]: ";
    else if (connection_->state() == Control::Service::State::Connected)
        out << "ctrl [" << connection_->connection_name() << "]: ";
    else
        out << "ctrl [not connected]: ";
}

}  // namespace CtrlSrv
