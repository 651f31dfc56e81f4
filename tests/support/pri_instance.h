#pragma once

// libpri, a real Q.921 peer, inside a test process's reactor. Each instance owns one end of a
// SOCK_SEQPACKET pair and is driven only by its own calls (on its descriptor and its timers, which
// keep real time); the test hands frames between the other end and the line with deliver() and
// send(), without the two FCS octets libpri's channel carries. LapdPcap writes the frames that
// crossed into a pcap file (link type 177: LAPD behind the Linux pseudo-header) for tshark.

#include "foundation/reactor/event.h"

extern "C" {  // the header declares C functions without saying so
#include <libpri.h>
}

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace testsupport {

// Each record has the Linux LAPD pseudo-header (sent by us 4 or to us 0, ARPHRD_LAPD, one address
// octet saying whether we are the network, ETH_P_LAPD), then the frame.
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

// One libpri instance; `deliver` gets each frame it sends.
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
    PriInstance(const PriInstance&) = delete;
    PriInstance& operator=(const PriInstance&) = delete;

    // A frame for libpri.
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

}  // namespace testsupport
