#include "foundation/protocol/protocol.h"

#include "foundation/protocol/protocols_list.h"

Protocol::~Protocol()
{
    if (owner_)
        owner_->remove(this);
}

void Protocol::local_prepare_head(Packet& p) { p.reserve_head(0); }

void Protocol::local_prepare_tail(Packet& p) { p.reserve_tail(0); }

Smart_pointer<Internal_protocol_status> Protocol::local_initialize() { return new Protocol_status_success(this); }

void Protocol::local_activate() { on_activate(); }

void Protocol::local_deactivate() { on_deactivate(new Protocol_status_success(this)); }

void Protocol::transmit(Packet& p)
{
    if (Protocol* below = lower())
        below->message(p);
    else if (owner_)
        owner_->transmit(p);
}

void Protocol::on_message(Packet& p)
{
    if (Protocol* above = upper())
        above->receive(p);
    else if (owner_)
        owner_->on_message(p);
}

void Protocol::on_activate()
{
    if (Protocol* above = upper())
        above->local_activate();
    else if (owner_)
        owner_->on_activated(this);
}

void Protocol::on_deactivate(Smart_pointer<Internal_protocol_status> status)
{
    if (status.is_null())
        return;
    Protocol* neighbour = status->success() ? lower() : upper();
    if (!neighbour) {
        if (owner_)
            owner_->on_deactivated(this, status);
    } else if (status->success()) {
        neighbour->deactivate();
    } else {
        neighbour->on_deactivate(status);
    }
}

void Protocol::on_status(Smart_pointer<Internal_protocol_status> status)
{
    if (Protocol* above = upper())
        above->on_status(status);
    else if (owner_)
        owner_->on_status(status);
}

void Protocol::message(Packet&) {}

void Protocol::receive(Packet&) {}

void Protocol::activate()
{
    if (Protocol* below = lower())
        below->activate();
    else
        local_activate();
}

void Protocol::deactivate() { local_deactivate(); }

void Protocol::protocol_info(std::ostream&) const {}

void Protocol::prepare_head(Packet& p)
{
    descend_prepare_head(p);
    local_prepare_head(p);
}

void Protocol::prepare_tail(Packet& p)
{
    descend_prepare_tail(p);
    local_prepare_tail(p);
}

void Protocol::descend_prepare_head(Packet& p)
{
    if (Protocol* below = lower())
        below->prepare_head(p);
}

void Protocol::descend_prepare_tail(Packet& p)
{
    if (Protocol* below = lower())
        below->prepare_tail(p);
}

Smart_pointer<Internal_protocol_status> Protocol::initialize()
{
    if (Protocol* below = lower()) {
        Smart_pointer<Internal_protocol_status> status = below->initialize();
        if (!status->success())
            return status;
    }
    return local_initialize();
}
