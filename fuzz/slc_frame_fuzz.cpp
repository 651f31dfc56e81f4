// Fuzz target: the SS7 signalling link's receive path, fed signal units as its channel would,
// between MSUs from above, timer expiries on a frozen clock, a channel that refuses frames and comes
// ready again, and the commands of its owner and its trunk. The first byte picks emergency
// alignment (bit 0), activation first (1), every trace switch (2), no channel at all (3) and a
// channel refusing every other frame (6). Then records:
//   0xFF, a count and that many octets: an MSU from above;
//   0xFE, n: (n + 1) * 100 ms on the clock, with whatever falls due;
//   0xFD: the channel ready again;
//   0xFC, n: by n % 5 activation, deactivation, trunk down, trunk up, a channel error;
//   0xFB, n: n + 1 MSUs of three octets from above, enough to fill the RTB and the TB;
//   any other octet: a length, and that many octets of signal unit from the channel.
//
// Beyond "no crash, no sanitizer report":
// - outside worked only LSSUs (FF FF 01 and a status of 0 to 3) and FISUs are sent; in worked only
//   FISUs and MSUs, each with an LI of its octet count after the header, 63 for 63 or more;
// - MSUs go up only in worked, each with the FSN after the one that went up last (127 on entering
//   worked) and with the octets it came with, cut to its LI where that is shorter;
// - every FISU and MSU sent in worked carries as BSN the FSN of the MSU that went up last, and the
//   FISU that acknowledges an MSU already the new one;
// - the RTB never holds more than 127 MSUs.

#include "quiet_logs.h"
#include "signalling/slc_owner.h"
#include "support/frozen_clock.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

constexpr int worked = SS7::SLC::Worked::id;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

class Host : public signallingtest::SlcOwner, public GenericHDLC {
public:
    explicit Host(bool refusing) : refusing_(refusing) {}

    bool hdlc_transmit(Packet& su) override
    {
        const unsigned length = su.length();
        require(length >= 3);
        if (link->state_id() == worked) {
            require(su[2] == std::min(length - 3, 63u));
            sent_bsns_.push_back(su[0] & 0x7F);
        } else {
            const bool lssu = length == 4 && su[0] == 0xFF && su[1] == 0xFF && su[2] == 1 && su[3] < 4;
            require(lssu || (length == 3 && su[2] == 0));
        }
        return !(refusing_ && (++offered_ & 1));
    }
    bool is_open() const override { return true; }
    bool is_ready() const override { return true; }

    void on_deactivated(Protocol*, Smart_pointer<Internal_protocol_status>) override
    {
        check_sent_bsns();
        last_up_ = 127;
    }
    void on_message(Packet& msu) override
    {
        require(link->state_id() == worked && !received_.empty());
        const unsigned fsn = received_[1] & 0x7F;
        require(fsn == ((last_up_ + 1) & 127));
        // The FISU that acknowledges it went out just before, already with its FSN as BSN.
        if (link->channel) {
            require(!sent_bsns_.empty() && sent_bsns_.back() == fsn);
            sent_bsns_.pop_back();
        }
        check_sent_bsns();
        last_up_ = fsn;
        const unsigned octets = unsigned(received_.size()) - 3, cut = std::min(octets, 63u), li = received_[2];
        const unsigned expected = li < cut && cut != 63 ? li : octets;
        require(msu.length() == expected && std::equal(received_.begin() + 3, received_.begin() + 3 + expected,
                                                       msu.data()));
    }

    // One signal unit from the channel.
    void from_channel(const std::vector<uint8_t>& su)
    {
        received_ = su;
        Packet frame;
        frame.reserve_head(0);
        frame.put(su.data(), unsigned(su.size()));
        link->on_hdlc_receive(frame);
        received_.clear();
    }
    void from_above(const std::vector<uint8_t>& octets)
    {
        Packet msu;
        prepare_head(msu);
        msu.put(octets.data(), unsigned(octets.size()));
        message(msu);
    }
    // What holds after every event.
    void check()
    {
        check_sent_bsns();
        require(link->statistics().rtb_size <= 127);
    }

private:
    void check_sent_bsns()
    {
        for (unsigned bsn : sent_bsns_)
            require(bsn == last_up_);
        sent_bsns_.clear();
    }

    const bool refusing_;
    unsigned offered_ = 0;
    unsigned last_up_ = 127;
    std::vector<unsigned> sent_bsns_;
    std::vector<uint8_t> received_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::quiet_logs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    testsupport::FrozenClock clock;
    Host host(data[0] & 0x40);
    SS7::SLC& link = *host.link;
    link.emergency = data[0] & 1;
    if (data[0] & 4)
        link.trace = {true, true, true, true, true, true, true, true};
    if (!(data[0] & 8))
        link.channel = &host;
    if (data[0] & 2)
        link.activate();
    host.check();
    for (size_t at = 1; at < size;) {
        const unsigned kind = data[at++];
        const unsigned argument = at < size ? data[at] : 0;
        if (kind == 0xFE || kind == 0xFC || kind == 0xFB)
            at = std::min(size, at + 1);
        if (kind == 0xFE) {
            clock.advance((argument + 1) * 100);
        } else if (kind == 0xFD) {
            link.on_hdlc_ready();
        } else if (kind == 0xFC) {
            switch (argument % 5) {
            case 0: link.activate(); break;
            case 1: link.deactivate(); break;
            case 2: link.OnTrunkHardStatus(false); break;
            case 3: link.OnTrunkHardStatus(true); break;
            default: link.on_hdlc_error(HDLC::Notify::Cause::read_failed); break;
            }
        } else if (kind == 0xFB) {
            for (unsigned n = 0; n <= argument; ++n)
                host.from_above({0x83, uint8_t(n >> 8), uint8_t(n)});
        } else {
            const size_t n = kind == 0xFF && at < size ? data[at++] : kind;
            const std::vector<uint8_t> octets(data + at, data + std::min(size, at + n));
            at += octets.size();
            kind == 0xFF ? host.from_above(octets) : host.from_channel(octets);
        }
        host.check();
    }
    return 0;
}
