#include "foundation/protocol/protocols_list.h"

ProtocolsList::~ProtocolsList()
{
    while (Protocol* top = tail()) {
        remove(top);
        top->owner_ = nullptr;
        delete top;
    }
}

void ProtocolsList::on_activated(Protocol*) {}

void ProtocolsList::on_deactivated(Protocol*, Smart_pointer<Internal_protocol_status>) {}

Protocol* ProtocolsList::add_protocol_head(Protocol* layer)
{
    adopt(layer);
    insert_to_head(layer);
    return layer;
}

Protocol* ProtocolsList::add_protocol_tail(Protocol* layer)
{
    adopt(layer);
    insert_to_tail(layer);
    return layer;
}

// A layer is in one list at most: one moved here leaves its former list first.
void ProtocolsList::adopt(Protocol* layer)
{
    if (layer->owner_)
        layer->owner_->remove(layer);
    layer->owner_ = this;
}

Protocol* ProtocolsList::search(const Protocol_name& name) const
{
    for (Protocol* layer = head(); layer; layer = layer->upper())
        if (layer->compare_name(name))
            return layer;
    return nullptr;
}
