#pragma once

// The end of a signalling slot's channel. The drivers never end a channel: one whose read ends or
// fails is gone for good, so its slot lets it go, tells the controller once that it is deactivated,
// and from then on refuses what would need the channel, each time with a line saying so.

#include "foundation/util/ext_header.h"

#include <cstring>
#include <iostream>
#include <sys/types.h>

// Why the read ended the slot's channel: "end of file" for a read of 0 octets, else the read's
// error.
template <class SlotType>
void log_channel_end(const SlotType& slot, ssize_t length, int error)
{
    std::cerr << ext::header(&slot);
    if (length == 0)
        std::cerr << "end of file";
    else
        std::cerr << "read error: " << std::strerror(error);
    std::cerr << ", channel closed" << std::endl;
}

// Whether the command is refused because the slot's channel has ended; if so, a line on the error
// stream names the command's fate ("userData dropped").
template <class SlotType>
bool refused_without_channel(const SlotType& slot, bool ended, const char* fate)
{
    if (ended)
        std::cerr << ext::header(&slot) << fate << ", channel closed" << std::endl;
    return ended;
}
