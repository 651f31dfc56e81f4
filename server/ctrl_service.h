#pragma once

// A control service: bound to the control server, it is offered the controller's commands in
// bind order and claims those it handles, hears the controller connect and go, and hears every
// signal another service sends before the controller gets it.

#include "asn1/modules/LGCP.h"

namespace CtrlSrv {

class Server;

class Service {
public:
    Service() = default;
    virtual ~Service() = default;
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    virtual void OnConnect() = 0;
    virtual void OnDisconnect() = 0;
    // True claims the command: it goes to no later service, and this one answers it.
    virtual bool OnCommand(const LGCP::Command& command) = 0;
    virtual void OnSignal(const LGCP::Signal&) {}

    // The server's operations of the same names. Unbound, each logs that and does nothing,
    // giving Server::no_slot, false or all bits set where a result is due.
    void Success();
    void Error(LGCP::ErrorCause::NamedNumber cause);
    unsigned GetSlot();
    bool IsSlotPresent();
    unsigned delayResponse();
    void delayedSuccess(unsigned slot, unsigned seq);
    void delayedSuccess(unsigned slot);
    bool IsSeqPresent();
    // Every other bound service hears the signal first, then the controller gets it.
    void SendSignal(const LGCP::Signal& signal);
    void SendSignal(unsigned slot, const LGCP::Signal& signal);
    // False, without a log line, when unbound.
    bool CheckServerConnection(bool& connected);

    // Set by Server::Bind.
    Server* server = nullptr;

private:
    bool bound();
    void FanOut(const LGCP::Signal& signal);
};

}  // namespace CtrlSrv
