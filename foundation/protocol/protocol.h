#pragma once

// One layer of a protocol stack. Layers sit in an owning list (ProtocolsList) whose head is the
// bottom of the stack: packets to send go down, received packets go up, activation climbs from
// the bottom, and deactivation runs down from the layer it is called on while a failure climbs
// back to the owner. Every call is synchronous; a layer may be re-entered.

#include "foundation/packet/packet.h"
#include "foundation/protocol/protocol_name.h"
#include "foundation/protocol/protocol_status.h"
#include "foundation/reactor/intrusive_list.h"

#include <iosfwd>

class ProtocolsList;

class Protocol : public Protocol_info, public F_dual_list_item<Protocol> {
public:
    Protocol() = default;
    Protocol(const Protocol&) = delete;
    Protocol& operator=(const Protocol&) = delete;
    // Leaves the owner's list, relinking the neighbours.
    ~Protocol() override;

    // Room for this layer's header and trailer (default: none; allocates a null packet).
    virtual void local_prepare_head(Packet& p);
    virtual void local_prepare_tail(Packet& p);
    virtual Smart_pointer<Internal_protocol_status> local_initialize();
    // Opens what the layer needs and calls on_activate() once it is up (default: at once).
    virtual void local_activate();
    // Closes the layer and ends with on_deactivate(status) (default: success at once).
    virtual void local_deactivate();
    // Hands a packet down: to the layer below, at the bottom to the owner.
    virtual void transmit(Packet& p);
    // Hands a packet up: to the layer above, at the top to the owner.
    virtual void on_message(Packet& p);
    // This layer is up: the layer above is activated, at the top the owner is told.
    virtual void on_activate();
    // A success continues the deactivation downwards; a failure climbs to the owner.
    virtual void on_deactivate(Smart_pointer<Internal_protocol_status> status);
    virtual void on_status(Smart_pointer<Internal_protocol_status> status);
    // A packet from the layer above (default: dropped). A layer that drops one it cannot carry
    // reports a Protocol_status_refused.
    virtual void message(Packet& p);
    // A packet from the layer below (default: dropped).
    virtual void receive(Packet& p);
    // Starts at the bottom layer of the list.
    virtual void activate();
    virtual void deactivate();
    virtual void protocol_info(std::ostream& os) const;

    // Reserves head room in every layer from the bottom up; a sender calls it on the top layer
    // with a null packet before appending its payload. The same for tail room.
    void prepare_head(Packet& p);
    void prepare_tail(Packet& p);
    void descend_prepare_head(Packet& p);
    void descend_prepare_tail(Packet& p);
    // Initialises the layers below first and stops at the first failure.
    Smart_pointer<Internal_protocol_status> initialize();

    Protocol* upper() const { return next; }
    Protocol* lower() const { return prev; }
    ProtocolsList* owner() const { return owner_; }

private:
    friend class ProtocolsList;

    ProtocolsList* owner_ = nullptr;
};
