#include "signalling/isdn/terminal_calls.h"

namespace ISDN {

namespace {

constexpr uint8_t release_complete = 0x5A;
constexpr uint8_t flag = 0x80;

// The call reference octet of a message that names a call: protocol discriminator, a call
// reference of one octet, message type. None (-1) for a dummy call reference or a shorter message.
int call_reference(const Packet& message)
{
    return message.length() > 3 && message[1] == 1 ? message[2] : -1;
}

}  // namespace

void TerminalCalls::on_terminal_message(const Packet& message, uint64_t naming)
{
    const int named = call_reference(message);
    if (named < 0)
        return;
    const uint8_t reference = uint8_t(named ^ flag);
    if (const unsigned at = find(reference); at < count_)
        forget(at);
    if (message[3] == release_complete)
        return;
    if (count_ == capacity)
        forget(0);
    held_[count_++] = {reference, naming};
}

uint64_t TerminalCalls::named(const Packet& message) const
{
    const unsigned at = find(call_reference(message));
    return at < count_ ? held_[at].named : 0;
}

void TerminalCalls::on_network_message(const Packet& message)
{
    if (const unsigned at = find(call_reference(message)); at < count_ && message[3] == release_complete)
        forget(at);
}

unsigned TerminalCalls::find(int reference) const
{
    unsigned at = 0;
    while (at < count_ && held_[at].reference != reference)
        ++at;
    return at;
}

void TerminalCalls::forget(unsigned at)
{
    for (--count_; at < count_; ++at)
        held_[at] = held_[at + 1];
}

}  // namespace ISDN
