#include "foundation/protocol/protocols_family.h"

#include <utility>

void ProtocolsFamily::local_prepare_head(Packet& p)
{
    if (Protocol* top = tail())
        top->prepare_head(p);
}

void ProtocolsFamily::local_prepare_tail(Packet& p)
{
    if (Protocol* top = tail())
        top->prepare_tail(p);
}

Smart_pointer<Internal_protocol_status> ProtocolsFamily::local_initialize()
{
    if (Protocol* top = tail())
        return top->initialize();
    return new Protocol_initialize_error(this);
}

void ProtocolsFamily::local_activate()
{
    if (Protocol* top = tail())
        top->activate();
}

void ProtocolsFamily::local_deactivate()
{
    if (Protocol* top = tail())
        top->deactivate();
}

void ProtocolsFamily::message(Packet& p)
{
    if (Protocol* top = tail())
        top->message(p);
}

void ProtocolsFamily::receive(Packet& p)
{
    if (Protocol* bottom = head())
        bottom->receive(p);
}

void ProtocolsFamily::on_activated(Protocol* layer)
{
    if (layer == tail())
        on_activate();
}

void ProtocolsFamily::on_deactivated(Protocol*, Smart_pointer<Internal_protocol_status> status)
{
    on_deactivate(status);
}

ProtocolsFamily::Refusal ProtocolsFamily::send(Packet& p)
{
    Refusal refusal;
    // A send from inside message() keeps its own answer.
    Refusal* outer = std::exchange(refusal_, &refusal);
    message(p);
    refusal_ = outer;
    return refusal;
}

void ProtocolsFamily::on_status(Smart_pointer<Internal_protocol_status> status)
{
    const auto* refused = dynamic_cast<const Protocol_status_refused*>(status.get());
    if (refused && refusal_)
        *refusal_ = refused->reason();
    else
        ProtocolsList::on_status(status);
}
