#pragma once

// libss7 as the far end of our SS7 signalling link, both in this process's reactor (see
// support/ss7_instance.h): the bridge is the link's frame channel and hands its signal units to the
// libss7 instance, which stands for the line.

#include "signalling/ss7/slc.h"
#include "support/reactor_until.h"
#include "support/ss7_instance.h"

namespace signallingtest {

struct Ss7Bridge : GenericHDLC {
    static constexpr unsigned ours = testsupport::Ss7Instance::ours, theirs = testsupport::Ss7Instance::theirs;

    Ss7Bridge(SS7::SLC& link, const std::string& pcap_path)
        : link(link), line(pcap_path, [this](const unsigned char* su, unsigned length) {
              Packet p;
              p.reserve_head(0), p.put(su, length), this->link.on_hdlc_receive(p);
          })
    {
        link.channel = this;
    }

    bool hdlc_transmit(Packet& su) override
    {
        line.from_line(su.data(), su.length());
        return true;
    }
    bool is_open() const override { return true; }
    bool is_ready() const override { return true; }

    // Runs the reactor until done() holds, at most limit_ms of real time; whether it held.
    bool run_until(std::function<bool()> done, unsigned limit_ms)
    {
        return testsupport::run_reactor_until(done, limit_ms, [this] { line.each_pass(); });
    }
    bool saw(int event) const { return line.saw(event); }

    SS7::SLC& link;
    testsupport::Ss7Instance line;
};

}  // namespace signallingtest
