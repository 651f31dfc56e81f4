#pragma once

// The SS7 signalling link alone in a stack, as its host sees it: activation, deactivation (by the
// status's message) and each MSU going up, in order, as one text.

#include "foundation/protocol/protocols_family.h"
#include "signalling/ss7/slc.h"

#include <string>

namespace signallingtest {

struct SlcOwner : ProtocolsFamily {
    SlcOwner() { add_protocol_tail(link); }
    void on_activated(Protocol*) override { events += "up|"; }
    void on_deactivated(Protocol*, Smart_pointer<Internal_protocol_status> status) override
    {
        events += status->message() + "|";
    }
    void on_message(Packet& p) override { events += "msu " + p.text() + "|"; }

    SS7::SLC* const link = new SS7::SLC;  // owned by the family
    std::string events;
};

}  // namespace signallingtest
