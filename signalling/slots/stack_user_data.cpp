#include "signalling/slots/stack_user_data.h"

#include <iostream>

void send_user_data(Slot& slot, ProtocolsFamily& stack, const std::vector<char>& data)
{
    if (!packet_pool_can_queue()) {
        // The links give blocks back as they send what they hold: the controller may try again.
        std::cerr << slot << ": userData refused, packet pool exhausted" << std::endl;
        slot.RefuseCommand(LGCP::ErrorCause::insufficientResources);
        return;
    }
    Packet p;
    stack.prepare_head(p);
    p.put(reinterpret_cast<const unsigned char*>(data.data()), unsigned(data.size()));
    const ProtocolsFamily::Refusal refusal = stack.send(p);
    if (!refusal)
        return;
    switch (*refusal) {
    case Protocol_status_refused::Reason::queue_full:
        // Room comes back as the link sends: the controller may try again.
        slot.RefuseCommand(LGCP::ErrorCause::insufficientResources);
        break;
    case Protocol_status_refused::Reason::no_destination:
        // The message itself names nothing the link can reach.
        slot.RefuseCommand(LGCP::ErrorCause::invalidParams);
        break;
    }
}
