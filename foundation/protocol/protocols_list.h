#pragma once

// A layer that owns an ordered list of layers, head = bottom, tail = top. Destroying the list
// deletes its layers from the top down.

#include "foundation/protocol/protocol.h"

class ProtocolsList : public Protocol, public F_dual_list<Protocol> {
public:
    ProtocolsList() = default;
    ~ProtocolsList() override;

    // The top layer of the list reports itself up, or any layer reports the end of the stack.
    virtual void on_activated(Protocol* layer);
    virtual void on_deactivated(Protocol* layer, Smart_pointer<Internal_protocol_status> status);
    // Link the layer at the bottom or the top and take ownership of it; both return it.
    virtual Protocol* add_protocol_head(Protocol* layer);
    virtual Protocol* add_protocol_tail(Protocol* layer);

    // The lowest layer whose compare_name accepts the name, or null.
    Protocol* search(const Protocol_name& name) const;

private:
    void adopt(Protocol* layer);
};
