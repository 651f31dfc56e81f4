#pragma once

// The server's end of the controller link. It owns the one controller connection, decodes every
// payload as an LGCP message, offers each command to the bound control services in bind order
// until one claims it, sees to it that a command gets one answer, and encodes and sends answers
// and signals. Everything runs on the reactor thread: a payload is decoded, dispatched and
// answered before OnMessage returns.

#include "asn1/modules/LGCP.h"
#include "foundation/control/notify.h"
#include "foundation/reactor/timer.h"

#include <iosfwd>
#include <vector>

namespace Control {
class Service;
}

namespace CtrlSrv {

class Service;

class Server : public Control::Notify {
public:
    // The slot number while no command with one is being handled.
    static constexpr unsigned no_slot = ~0u;

    Server() = default;
    ~Server() override;
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Services are offered commands, and hear connects, disconnects and signals, in bind order.
    // They are not owned, and stay bound.
    void Bind(Service* service);
    const std::vector<Service*>& services() const { return services_; }

    // Takes the connection over (it is deleted by Deactivate) and starts it; its result.
    bool Activate(Control::Service* connection);
    // Stops and deletes the connection; every service hears OnDisconnect once more. Does nothing
    // without a connection.
    void Deactivate();

    void OnConnect() override;
    void OnDisconnect() override;
    void OnMessage(const char* data, int length) override;

    // Drops the controller; the disconnect follows on the next reactor pass.
    void OnHeartbeatTimeout();
    // False without a connection; otherwise true, with whether the controller is connected.
    bool CheckServerConnection(bool& connected) const;

    // The answer to the command being handled. A success goes out only while nothing has been
    // answered; an error unless an error has been answered already.
    void Success();
    void Error(LGCP::ErrorCause::NamedNumber cause);
    // Nothing is answered now, and nothing is missed: the service answers later with
    // delayedSuccess, given the sequence number returned here (the last one received when this
    // command had none).
    unsigned delayResponse();
    void delayedSuccess(unsigned slot, unsigned seq);
    // The same for a command that carried no sequence number.
    void delayedSuccess(unsigned slot);
    // Whether the command being handled carried a sequence number.
    bool IsSeqPresent() const { return seqPresent_; }
    // A signal carries the slot number of the command being handled, if that has one.
    void SendSignal(const LGCP::Signal& signal);
    void SendSignal(unsigned slot, const LGCP::Signal& signal);

    // The slot number of the command being handled, or no_slot.
    unsigned GetSlot() const { return slot_; }

    void PutHeader(std::ostream& out) const;

private:
    enum AckState { nothing_sent = 0, success_sent = 1, error_sent = 2 };

    // Armed for five seconds on each connect; its end does nothing and arms nothing.
    void OnUpdateAvgStat() {}
    void Handle(const LGCP::Message& message);
    // A response to the command being handled; null cause for a success.
    void Respond(const LGCP::ErrorCause::NamedNumber* cause);
    void SendMsg(const LGCP::Message& message);

    std::vector<Service*> services_;
    Control::Service* connection_ = nullptr;
    bool seqPresent_ = false;
    int seq_ = 0;
    unsigned slot_ = no_slot;
    AckState ackState_ = nothing_sent;
    Timer avgStatTimer_;
};

}  // namespace CtrlSrv

// The process's one control server.
extern CtrlSrv::Server ctrlServer;
