// Fuzz target: the network side of a basic-rate line, fed frames from the terminals between
// messages from above and timer expiries on a frozen clock. Records: a length octet and that many
// octets of frame; 0xFF, a count and that many octets of message from above; 0xFE ten seconds on
// the clock, with whatever falls due.
//
// Beyond "no crash, no sanitizer report": every frame sent has a valid address and at least a
// control octet.

#include "foundation/protocol/protocols_family.h"
#include "signalling/isdn/lapd_nt.h"
#include "support/frozen_clock.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <vector>

namespace {

struct Line : ProtocolsFamily {
    Line() { add_protocol_tail(link); }
    void transmit(Packet& frame) override
    {
        if (frame.length() < 3 || (frame[0] & 1) || !(frame[1] & 1))
            std::abort();
    }
    void on_message(Packet&) override {}
    ISDN::LAPD_NT* const link = new ISDN::LAPD_NT;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool quiet = (std::clog.rdbuf(nullptr), true);
    if (!quiet)
        return 0;
    testsupport::FrozenClock clock;
    Line line;
    line.link->set_log(2);
    line.link->activate();
    for (size_t at = 0; at < size;) {
        const unsigned kind = data[at++];
        if (kind == 0xFE) {
            clock.advance(10000);
            continue;
        }
        const size_t n = kind == 0xFF && at < size ? data[at++] : kind;
        Packet p;
        if (kind == 0xFF)
            line.prepare_head(p);
        else
            p.reserve_head(0);
        p.put(data + at, unsigned(std::min(size, at + n) - at));
        at = std::min(size, at + n);
        kind == 0xFF ? line.message(p) : line.link->receive(p);
    }
    line.link->deactivate();
    return 0;
}
