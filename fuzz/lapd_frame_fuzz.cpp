// Fuzz target: the ISDN data link's receive path, fed frame by frame as its channel would, between
// messages from above, timer expiries and a channel that refuses frames. The first byte picks the
// side (bit 0), basic rate (1), activation first (2), the log level (bits 3 to 5; 3 and above
// renders every frame) and a channel refusing every other frame (6). Then records: a length octet
// and that many octets of frame; 0xFF, a count and that many octets of message from above; 0xFE one
// second on the clock, with whatever falls due; 0xFD the channel ready again.
//
// Beyond "no crash, no sanitizer report": every frame sent has a valid address, and after every
// event the state exists, no more I frames are outstanding than the window allows and the
// acknowledgement queue holds no more than are outstanding.

#include "signalling/link_owner.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>

namespace {

struct Channel : GenericHDLC {
    bool hdlc_transmit(Packet& frame) override
    {
        if (frame.length() < 3 || (frame[0] & 1) || !(frame[1] & 1))
            std::abort();
        return !(refusing && (++offered & 1));
    }
    bool is_open() const override { return true; }
    bool is_ready() const override { return true; }
    bool refusing = false;
    unsigned offered = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool quiet = (std::clog.rdbuf(nullptr), std::cout.rdbuf(nullptr), true);
    if (size == 0 || !quiet)
        return 0;
    testsupport::FrozenClock clock;
    Channel channel;
    channel.refusing = data[0] & 0x40;
    signallingtest::LinkOwner owner(data[0] & 1 ? ISDN::Side::network : ISDN::Side::user, &channel);
    ISDN::LAPD& link = *owner.link;
    // The TEI requests' reference numbers as the corpus recorded them, so that a recorded assignment
    // answers them: rand()'s after srand(1).
    std::srand(1);
    link.draw_reference = [] { return uint16_t(std::rand()); };
    link.log_level = (data[0] >> 3) & 7;
    if (data[0] & 2)
        link.change_to_bri();
    if (data[0] & 4)
        link.activate();
    for (size_t at = 1; at < size;) {
        const unsigned kind = data[at++];
        if (kind == 0xFE) {
            clock.advance(1000);
        } else if (kind == 0xFD) {
            link.on_hdlc_ready();
        } else {
            const size_t n = kind == 0xFF && at < size ? data[at++] : kind;
            const std::vector<unsigned char> octets(data + at, data + std::min(size, at + n));
            at += octets.size();
            Packet frame;
            frame.reserve_head(0);
            frame.put(octets.data(), unsigned(octets.size()));
            kind == 0xFF ? owner.send(octets) : link.on_hdlc_receive(frame);
        }
        ACP::IsdnLinkInfo info;
        link.GetInfo(info);
        const int outstanding = (info.get_vs().getValue() - info.get_va().getValue()) & 127;
        if (info.get_lapdState().getValue() > 7 || outstanding > 7 || info.get_queueAck().getValue() > outstanding ||
            info.get_queueOut().getValue() > 135)
            std::abort();
    }
    link.show_stat();
    link.status()->out(std::clog);
    return 0;
}
