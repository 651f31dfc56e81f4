#pragma once

// libpri as the peer of one of our data links, both in this process's reactor: libpri owns one end
// of a SOCK_SEQPACKET pair and is driven only by its own calls (on its descriptor and its timers,
// which keep real time); the bridge at the other end hands frames between it and the link, adds and
// strips the two FCS octets libpri's channel carries, and writes every frame that crossed into a
// pcap file (link type 177: LAPD behind the Linux pseudo-header) for tshark.

#include "foundation/reactor/dpc.h"
#include "foundation/reactor/event.h"
#include "foundation/reactor/multiplexer.h"
#include "signalling/isdn/lapd.h"

extern "C" {  // the header declares C functions without saying so
#include <libpri.h>
}

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace signallingtest {

struct PriBridge : GenericHDLC {
    // node: libpri's side, PRI_NETWORK or PRI_CPE; bri: a point-to-multipoint basic-rate channel.
    PriBridge(ISDN::LAPD& link, int node, bool bri, const std::string& pcap_path) : link(link), pcap(pcap_path)
    {
        socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds);
        pri = bri ? pri_new_bri(fds[0], 0, node, PRI_SWITCH_EUROISDN_E1) : pri_new(fds[0], node, PRI_SWITCH_EUROISDN_E1);
        pri_set_message([](struct pri*, char*) {}), pri_set_error([](struct pri*, char*) {});
        link.channel = this;
        from_pri.Bind("from libpri", &PriBridge::on_frame, this), from_pri.Schedule(fds[1], POLLIN);
        to_pri.Bind("libpri", &PriBridge::on_pri, this), to_pri.Schedule(fds[0], POLLIN);
        for (uint32_t word : {0xa1b2c3d4u, 0x00040002u, 0u, 0u, 65535u, 177u})  // version 2.4, link type 177
            pcap.write(reinterpret_cast<const char*>(&word), 4);
    }
    ~PriBridge() override
    {
        from_pri.Release(), to_pri.Release(), close(fds[0]), close(fds[1]);
        // libpri has no call that frees a channel: the retired ones stay reachable, so no leak is reported.
        static auto* retired = new std::vector<struct pri*>;
        retired->push_back(pri);
    }

    bool hdlc_transmit(Packet& frame) override
    {
        std::vector<unsigned char> with_fcs(frame.data(), frame.data() + frame.length());
        with_fcs.resize(with_fcs.size() + 2);
        return cut || (record(with_fcs, true), write(fds[1], with_fcs.data(), with_fcs.size()) > 0);
    }
    bool is_open() const override { return true; }
    bool is_ready() const override { return true; }

    // Runs the reactor until done() holds, at most limit_ms of real time; whether it held.
    bool run_until(std::function<bool()> done, unsigned limit_ms = 2000)
    {
        until = std::move(done);
        deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
        Dpc dpc;
        dpc.Bind(this, &PriBridge::each_pass), dpc.Activate();
        Timer tick;  // never due on the frozen clock: keeps each poll to a millisecond
        tick.set(1, [] {});
        multiplexer.run(false, true);
        return until();
    }
    bool saw(int event) const { return std::count(events.begin(), events.end(), event) > 0; }

    // One pcap record: the Linux LAPD pseudo-header (sent by us 4 or to us 0, ARPHRD_LAPD, one address
    // octet saying whether we are the network, ETH_P_LAPD), then the frame without its FCS.
    void record(const std::vector<unsigned char>& with_fcs, bool ours)
    {
        timeval now;
        gettimeofday(&now, nullptr);
        const uint32_t length = uint32_t(with_fcs.size() - 2 + 16);
        for (uint32_t word : {uint32_t(now.tv_sec), uint32_t(now.tv_usec), length, length})
            pcap.write(reinterpret_cast<const char*>(&word), 4);
        const unsigned char header[16] = {0, uint8_t(ours ? 4 : 0), 0x20, 0xFD, 0, 1, link.side, 0, 0, 0, 0, 0, 0, 0, 0, 0x30};
        pcap.write(reinterpret_cast<const char*>(header), 16);
        pcap.write(reinterpret_cast<const char*>(with_fcs.data()), length - 16).flush();
    }
    void on_frame(int fd, short revents)
    {
        std::vector<unsigned char> frame(1024);
        frame.resize(size_t(std::max<ssize_t>((revents & POLLIN) ? read(fd, frame.data(), frame.size()) : 0, 0)));
        if (frame.size() <= 2 || cut)
            return;
        record(frame, false);
        Packet p;
        p.reserve_head(0), p.put(frame.data(), unsigned(frame.size() - 2)), link.on_hdlc_receive(p);
    }
    void on_pri(int, short revents) { take((revents & POLLIN) ? pri_check_event(pri) : nullptr); }
    void take(pri_event* event) { event ? events.push_back(event->e) : void(); }
    void each_pass()
    {
        timeval now;
        gettimeofday(&now, nullptr);
        if (const timeval* next = pri_schedule_next(pri); next && !timercmp(&now, next, <))
            take(pri_schedule_run(pri));
        if (until() || std::chrono::steady_clock::now() > deadline)
            multiplexer.terminate();
    }

    ISDN::LAPD& link;
    std::ofstream pcap;
    int fds[2];
    struct pri* pri;
    Event from_pri, to_pri;
    std::vector<int> events;  // libpri's, in order
    bool cut = false;  // nothing crosses either way
    std::function<bool()> until;
    std::chrono::steady_clock::time_point deadline;
};

}  // namespace signallingtest
