#include "slots/circuit/voice_slot.h"

#include "foundation/util/ext_header.h"

#include <iostream>

std::string dhost2str(const TERM::HostAddress& host)
{
    return host.get_iaddr().getValue() + ":" + std::to_string(host.get_port().getValue());
}

VoiceSlot::VoiceSlot(int timeslot, Fd channel) : timeslot(timeslot), fd(channel.dup()) {}

VoiceSlot::~VoiceSlot() { fd.close(); }

void VoiceSlot::PutHeader(std::ostream& out) const { out << GetName() << "[" << timeslot << "]: "; }

bool VoiceSlot::Connected(ASync::Connect::Status::Type status, const std::string& host) const
{
    if (status == ASync::Connect::Status::connected) {
        std::clog << ext::header(this) << "connected to " << host << "." << std::endl;
        return true;
    }
    std::clog << ext::header(this) << "connection to " << host << " fail." << std::endl;
    return false;
}

void VoiceSlot::Closed(const std::string& host) const
{
    std::clog << ext::header(this) << "connection to " << host << " closed." << std::endl;
}
