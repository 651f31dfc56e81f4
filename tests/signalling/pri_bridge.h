#pragma once

// libpri as the peer of our data links, all in this process's reactor. Each libpri instance owns one
// end of a SOCK_SEQPACKET pair and is driven only by its own calls (on its descriptor and its timers,
// which keep real time); the line at the other end hands frames between it and our link, adds and
// strips the two FCS octets libpri's channel carries, and writes every frame that crossed into a
// pcap file (link type 177: LAPD behind the Linux pseudo-header) for tshark.
//
// PriBridge joins one instance to an ISDN::LAPD as its frame channel; PriTerminals joins several
// basic-rate terminals to the network side ISDN::LAPD_NT, all on one D channel: what the network
// sends reaches every terminal, what a terminal sends reaches the network.

#include "foundation/protocol/protocols_family.h"
#include "foundation/reactor/dpc.h"
#include "foundation/reactor/event.h"
#include "foundation/reactor/multiplexer.h"
#include "signalling/isdn/lapd.h"
#include "signalling/isdn/lapd_nt.h"

extern "C" {  // the header declares C functions without saying so
#include <libpri.h>
}

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <vector>

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace signallingtest {

// Runs the reactor until done() holds, at most limit_ms of real time, calling each_pass on every
// pass; whether done() held.
inline bool run_reactor_until(const std::function<bool()>& done, unsigned limit_ms,
                              const std::function<void()>& each_pass)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
    struct Pass {
        void run() { step(); }
        std::function<void()> step;
    } pass{[&] {
        each_pass();
        if (done() || std::chrono::steady_clock::now() > deadline)
            multiplexer.terminate();
    }};
    Dpc dpc;
    dpc.Bind(&pass, &Pass::run), dpc.Activate();
    Timer tick;  // never due on the frozen clock: keeps each poll to a millisecond
    tick.set(1, [] {});
    multiplexer.run(false, true);
    return done();
}

// A pcap file of LAPD frames: each record has the Linux LAPD pseudo-header (sent by us 4 or to us 0,
// ARPHRD_LAPD, one address octet saying whether we are the network, ETH_P_LAPD), then the frame.
struct LapdPcap {
    LapdPcap(const std::string& path, bool network) : out(path), network(network)
    {
        for (uint32_t word : {0xa1b2c3d4u, 0x00040002u, 0u, 0u, 65535u, 177u})  // version 2.4, link type 177
            out.write(reinterpret_cast<const char*>(&word), 4);
    }
    void record(const unsigned char* frame, unsigned length, bool ours)
    {
        timeval now;
        gettimeofday(&now, nullptr);
        const uint32_t size = length + 16;
        for (uint32_t word : {uint32_t(now.tv_sec), uint32_t(now.tv_usec), size, size})
            out.write(reinterpret_cast<const char*>(&word), 4);
        const unsigned char header[16] = {0, uint8_t(ours ? 4 : 0), 0x20, 0xFD, 0, 1, network, 0, 0, 0, 0, 0, 0, 0, 0, 0x30};
        out.write(reinterpret_cast<const char*>(header), 16);
        out.write(reinterpret_cast<const char*>(frame), length).flush();
    }

    std::ofstream out;
    bool network;
};

// One libpri instance; `deliver` gets each frame it sends, without its FCS.
struct PriInstance {
    // node: PRI_NETWORK or PRI_CPE; bri: a point-to-multipoint basic-rate channel.
    PriInstance(int node, bool bri, std::function<void(const unsigned char*, unsigned)> deliver)
        : deliver(std::move(deliver))
    {
        socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds);
        pri = bri ? pri_new_bri(fds[0], 0, node, PRI_SWITCH_EUROISDN_E1) : pri_new(fds[0], node, PRI_SWITCH_EUROISDN_E1);
        pri_set_message([](struct pri*, char*) {}), pri_set_error([](struct pri*, char*) {});
        from_pri.Bind("from libpri", &PriInstance::on_frame, this), from_pri.Schedule(fds[1], POLLIN);
        to_pri.Bind("libpri", &PriInstance::on_pri, this), to_pri.Schedule(fds[0], POLLIN);
    }
    ~PriInstance()
    {
        from_pri.Release(), to_pri.Release(), close(fds[0]), close(fds[1]);
        // libpri has no call that frees a channel: the retired ones stay reachable, so no leak is reported.
        static auto* retired = new std::vector<struct pri*>;
        retired->push_back(pri);
    }

    // A frame for libpri, given without its FCS.
    bool send(const unsigned char* frame, unsigned length)
    {
        if (cut)
            return true;
        std::vector<unsigned char> with_fcs(frame, frame + length);
        with_fcs.resize(with_fcs.size() + 2);
        return write(fds[1], with_fcs.data(), with_fcs.size()) > 0;
    }
    bool saw(int event) const { return std::count(events.begin(), events.end(), event) > 0; }
    // libpri's timers that are due.
    void run_timers()
    {
        timeval now;
        gettimeofday(&now, nullptr);
        if (const timeval* next = pri_schedule_next(pri); next && !timercmp(&now, next, <))
            take(pri_schedule_run(pri));
    }

    void on_frame(int fd, short revents)
    {
        unsigned char frame[1024];
        const ssize_t length = (revents & POLLIN) ? read(fd, frame, sizeof frame) : 0;
        if (length > 2 && !cut)
            deliver(frame, unsigned(length - 2));
    }
    void on_pri(int, short revents) { take((revents & POLLIN) ? pri_check_event(pri) : nullptr); }
    void take(pri_event* event)
    {
        if (!event)
            return;
        events.push_back(event->e);
        if (event->e == PRI_EVENT_RING)
            ringing = event->ring.call;
    }

    std::function<void(const unsigned char*, unsigned)> deliver;
    int fds[2];
    struct pri* pri;
    Event from_pri, to_pri;
    std::vector<int> events;  // libpri's, in order
    q931_call* ringing = nullptr;  // the call of the last SETUP libpri received
    bool cut = false;  // nothing crosses either way
};

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
            terminals.push_back(std::make_unique<PriInstance>(PRI_CPE, true, [this, n](const unsigned char* frame, unsigned length) {
                pcap.record(frame, length, false);
                if (length > 1 && frame[1] != 0xFF)
                    teis[n] = frame[1] >> 1;
                Packet p;
                p.reserve_head(0), p.put(frame, length), link->receive(p);
            }));
    }

    void transmit(Packet& frame) override
    {
        sent.emplace_back(frame.data(), frame.data() + frame.length());
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
    std::vector<std::vector<unsigned char>> messages;  // every message that went up, in order
};

}  // namespace signallingtest
