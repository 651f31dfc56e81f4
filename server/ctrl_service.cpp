#include "server/ctrl_service.h"

#include "server/ctrl_server.h"

#include <iostream>

namespace CtrlSrv {

bool Service::bound()
{
    if (!server)
        std::cerr << "CtrlSrv::Service error! service not connected to server." << std::endl;
    return server;
}

void Service::Success()
{
    if (bound())
        server->Success();
}

void Service::Error(LGCP::ErrorCause::NamedNumber cause)
{
    if (bound())
        server->Error(cause);
}

unsigned Service::GetSlot() { return bound() ? server->GetSlot() : Server::no_slot; }

bool Service::IsSlotPresent() { return bound() && server->GetSlot() != Server::no_slot; }

// An unbound service has no sequence number to give: all bits set.
unsigned Service::delayResponse() { return bound() ? server->delayResponse() : ~0u; }

void Service::delayedSuccess(unsigned slot, unsigned seq)
{
    if (bound())
        server->delayedSuccess(slot, seq);
}

void Service::delayedSuccess(unsigned slot)
{
    if (bound())
        server->delayedSuccess(slot);
}

bool Service::IsSeqPresent() { return bound() && server->IsSeqPresent(); }

void Service::SendSignal(const LGCP::Signal& signal)
{
    if (!bound())
        return;
    FanOut(signal);
    server->SendSignal(signal);
}

void Service::SendSignal(unsigned slot, const LGCP::Signal& signal)
{
    if (!bound())
        return;
    FanOut(signal);
    server->SendSignal(slot, signal);
}

void Service::FanOut(const LGCP::Signal& signal)
{
    for (Service* service : server->services())
        if (service != this)
            service->OnSignal(signal);
}

bool Service::CheckServerConnection(bool& connected) { return server && server->CheckServerConnection(connected); }

}  // namespace CtrlSrv
