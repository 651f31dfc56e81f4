#pragma once

// A list of layers that acts as one layer of an outer stack. Preparing, sending, activating and
// deactivating the family enter its inner top layer; receiving enters its inner bottom layer.
// The inner stack's output reaches the family's transmit and on_message, which a derived
// family overrides to take it.

#include "foundation/protocol/protocols_list.h"

#include <optional>

class ProtocolsFamily : public ProtocolsList {
public:
    using Refusal = std::optional<Protocol_status_refused::Reason>;

    ProtocolsFamily() = default;

    // Sends the message as message() does and gives the refusal a layer reported for it (none when
    // the message went on). Refusals reported at other times climb on as every other status does.
    Refusal send(Packet& p);
    void on_status(Smart_pointer<Internal_protocol_status> status) override;

    void local_prepare_head(Packet& p) override;
    void local_prepare_tail(Packet& p) override;
    Smart_pointer<Internal_protocol_status> local_initialize() override;
    void local_activate() override;
    void local_deactivate() override;
    void message(Packet& p) override;
    void receive(Packet& p) override;
    // The family is up when its inner top layer is; reports of other layers are ignored.
    void on_activated(Protocol* layer) override;
    void on_deactivated(Protocol* layer, Smart_pointer<Internal_protocol_status> status) override;

private:
    Refusal* refusal_ = nullptr;  // where the running send() keeps its answer
};
