#pragma once

// A data link alone in a stack, as its host sees it: activation, each status (deactivations and
// management errors, by message; the last one also printed whole) and each message going up, in
// order, as one text.

#include "foundation/protocol/protocols_family.h"
#include "signalling/isdn/lapd.h"
#include "support/frozen_clock.h"

#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace signallingtest {

struct LinkOwner : ProtocolsFamily {
    // As the hosts do: made for the user side, then given its side and channel.
    LinkOwner(ISDN::Side::type side, GenericHDLC* channel)
    {
        add_protocol_tail(link), link->side = side, link->channel = channel;
    }
    void on_activated(Protocol*) override { events += "up|"; }
    void on_deactivated(Protocol*, Smart_pointer<Internal_protocol_status> status) override { on_status(status); }
    void on_status(Smart_pointer<Internal_protocol_status> status) override
    {
        events += status->message() + "|";
        std::ostringstream printed;
        status->out(printed);
        last_report = printed.str();
    }
    void on_message(Packet& p) override { messages.push_back(p.text()), events += "data " + p.text() + "|"; }
    std::string take_events() { return std::exchange(events, ""); }
    unsigned state() const
    {
        ACP::IsdnLinkInfo info;
        return link->GetInfo(info), info.get_lapdState().getValue();
    }
    void send(const std::vector<unsigned char>& octets)
    {
        Packet p;
        prepare_head(p), p.put(octets.data(), unsigned(octets.size())), message(p);
    }

    ISDN::LAPD* const link = new ISDN::LAPD(ISDN::Side::user, 0);  // owned by the family
    std::string events;
    std::string last_report;  // the printed form of the last status
    std::vector<std::string> messages;
};

}  // namespace signallingtest
