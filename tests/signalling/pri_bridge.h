#pragma once

// libpri as the peer of our data links, all in this process's reactor (see support/pri_instance.h).
// PriBridge joins one instance to an ISDN::LAPD as its frame channel; PriTerminals joins several
// basic-rate terminals to the network side ISDN::LAPD_NT, all on one D channel: what the network
// sends reaches every terminal (unless the test has the line lose it), what a terminal sends reaches
// the network. Both write every frame that crossed into a pcap file for tshark.

#include "foundation/protocol/protocols_family.h"
#include "signalling/isdn/lapd.h"
#include "signalling/isdn/lapd_nt.h"
#include "support/pri_instance.h"
#include "support/reactor_until.h"

#include <memory>

namespace signallingtest {

using testsupport::LapdPcap;
using testsupport::PriInstance;
using testsupport::run_reactor_until;

struct PriBridge : GenericHDLC {
    PriBridge(ISDN::LAPD& link, int node, bool bri, const std::string& pcap_path)
        : link(link), pcap(pcap_path, link.side), peer(node, bri, [this](const unsigned char* frame, unsigned length) {
              pcap.record(frame, length, false);
              Packet p;
              p.reserve_head(0), p.put(frame, length), this->link.on_hdlc_receive(p);
          })
    {
        link.channel = this;
    }

    bool hdlc_transmit(Packet& frame) override
    {
        if (!peer.cut)
            pcap.record(frame.data(), frame.length(), true);
        return peer.send(frame.data(), frame.length());
    }
    bool is_open() const override { return true; }
    bool is_ready() const override { return true; }

    bool run_until(std::function<bool()> done, unsigned limit_ms = 2000)
    {
        return run_reactor_until(done, limit_ms, [this] { peer.run_timers(); });
    }
    bool saw(int event) const { return peer.saw(event); }

    ISDN::LAPD& link;
    LapdPcap pcap;
    PriInstance peer;
};

// Basic-rate terminals on the D channel of the network side: the network's frames reach all of them.
struct PriTerminals : ProtocolsFamily {
    PriTerminals(unsigned count, const std::string& pcap_path) : pcap(pcap_path, true)
    {
        add_protocol_tail(link);
        teis.resize(count, 0);
        for (unsigned n = 0; n < count; ++n)
            terminals.push_back(terminal(n));
    }

    // Terminal n of the line: what it sends reaches the network.
    std::unique_ptr<PriInstance> terminal(unsigned n)
    {
        return std::make_unique<PriInstance>(PRI_CPE, true, [this, n](const unsigned char* frame, unsigned length) {
            pcap.record(frame, length, false);
            heard.emplace_back(frame, frame + length);
            if (length > 1 && frame[1] != 0xFF)
                teis[n] = frame[1] >> 1;
            Packet p;
            p.reserve_head(0), p.put(frame, length), link->receive(p);
        });
    }

    // Terminal n starts again as a fresh instance: it has no TEI and numbers its calls from the start,
    // and the old one is gone from the line without a word.
    void restart(unsigned n) { teis[n] = 0, terminals[n] = terminal(n); }

    void transmit(Packet& frame) override
    {
        sent.emplace_back(frame.data(), frame.data() + frame.length());
        if (lose_i_frames > 0 && frame.length() > 2 && !(frame[2] & 1)) {
            --lose_i_frames;
            return;
        }
        pcap.record(frame.data(), frame.length(), true);
        for (auto& terminal : terminals)
            terminal->send(frame.data(), frame.length());
    }
    void on_message(Packet& p) override { messages.emplace_back(p.data(), p.data() + p.length()); }
    void send(const std::vector<unsigned char>& octets)
    {
        Packet p;
        prepare_head(p), p.put(octets.data(), unsigned(octets.size())), message(p);
    }
    bool run_until(std::function<bool()> done, unsigned limit_ms = 2000)
    {
        return run_reactor_until(done, limit_ms, [this] {
            for (auto& terminal : terminals)
                terminal->run_timers();
        });
    }

    ISDN::LAPD_NT* const link = new ISDN::LAPD_NT;  // owned by the family
    LapdPcap pcap;
    std::vector<std::unique_ptr<PriInstance>> terminals;
    std::vector<unsigned> teis;  // each terminal's, as its frames show it; 0 until then
    std::vector<std::vector<unsigned char>> sent;      // every frame the network sent, in order
    std::vector<std::vector<unsigned char>> heard;     // every frame the terminals sent, in order
    unsigned lose_i_frames = 0;  // the network's next I frames that no terminal gets
    std::vector<std::vector<unsigned char>> messages;  // every message that went up, in order
};

}  // namespace signallingtest
