#pragma once

// libss7, a real MTP level 2 peer with an MTP level 3 above it, inside a test process's reactor.
// libss7 owns one end of a SOCK_SEQPACKET pair as a D channel (frames with two check octets) and
// runs on its own timers, which keep real time. The instance stands for the line between it and
// our link: our signal units come in with from_line(), libss7's go out through `deliver`. It lets
// libss7 write one signal unit every few milliseconds (it would otherwise fill the line with FISUs)
// and stands in for the channel controller in SS7 mode, which repeats the last FISU or LSSU sent
// while nothing else is to be sent. It can drop every tenth signal unit each way, and it writes
// every signal unit that crossed into a pcap file (link type 140, MTP2) for tshark.

#include "foundation/reactor/event.h"

extern "C" {
#include <libss7.h>
}

#include <algorithm>
#include <chrono>
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

struct Ss7Instance {
    static constexpr unsigned ours = 1, theirs = 2;  // point codes

    Ss7Instance(const std::string& pcap_path, std::function<void(const unsigned char*, unsigned)> deliver)
        : deliver(std::move(deliver)), pcap(pcap_path)
    {
        socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds);
        ss7_set_message([](struct ss7*, char*) {}), ss7_set_error([](struct ss7*, char*) {});
        ss7 = ss7_new(SS7_ITU);
        ss7_set_network_ind(ss7, SS7_NI_NAT);
        ss7_set_pc(ss7, theirs);
        ss7_add_link(ss7, SS7_TRANSPORT_DAHDIDCHAN, fds[0], 0, ours);
        from_ss7.Bind("from libss7", &Ss7Instance::on_frame, this), from_ss7.Schedule(fds[1], POLLIN);
        to_ss7.Bind("libss7", &Ss7Instance::on_ss7, this), to_ss7.Schedule(fds[0], POLLIN);
        for (uint32_t word : {0xa1b2c3d4u, 0x00040002u, 0u, 0u, 65535u, 140u})  // version 2.4, MTP2
            pcap.write(reinterpret_cast<const char*>(&word), 4);
        next_tick = std::chrono::steady_clock::now();
        ss7_start(ss7);
    }
    ~Ss7Instance()
    {
        from_ss7.Release(), to_ss7.Release(), close(fds[0]), close(fds[1]);
        // libss7 has no call that frees its instance: the retired ones stay reachable.
        static auto* retired = new std::vector<struct ss7*>;
        retired->push_back(ss7);
    }
    Ss7Instance(const Ss7Instance&) = delete;
    Ss7Instance& operator=(const Ss7Instance&) = delete;

    // A signal unit our link sent.
    void from_line(const unsigned char* su, unsigned length)
    {
        std::vector<unsigned char> octets(su, su + length);
        // What the controller repeats: an LSSU as it is, the FISU that follows anything else.
        repeated = octets.size() <= 5 ? octets : std::vector<unsigned char>{octets[0], octets[1], 0};
        sent_since_tick = true;
        forward(octets);
    }
    bool saw(int event) const { return std::count(events.begin(), events.end(), event) > 0; }
    // libss7's timers, and the line's pace: to be called on every reactor pass.
    void each_pass()
    {
        timeval now;
        gettimeofday(&now, nullptr);
        if (const timeval* next = ss7_schedule_next(ss7); next && !timercmp(&now, next, <))
            ss7_schedule_run(ss7), take_events();
        if (std::chrono::steady_clock::now() >= next_tick) {
            next_tick += std::chrono::milliseconds(2);
            if (ss7_pollflags(ss7, fds[0]) & POLLOUT)
                ss7_write(ss7, fds[0]);
            if (!sent_since_tick && !repeated.empty())
                forward(repeated);
            sent_since_tick = false;
        }
    }

    void forward(std::vector<unsigned char> octets)
    {
        if (dropping && ++to_ss7_count % 10 == 0)
            return;
        record(octets);
        octets.resize(octets.size() + 2);
        (void)!write(fds[1], octets.data(), octets.size());
    }
    void record(const std::vector<unsigned char>& octets)
    {
        timeval now;
        gettimeofday(&now, nullptr);
        const uint32_t length = uint32_t(octets.size());
        for (uint32_t word : {uint32_t(now.tv_sec), uint32_t(now.tv_usec), length, length})
            pcap.write(reinterpret_cast<const char*>(&word), 4);
        pcap.write(reinterpret_cast<const char*>(octets.data()), length).flush();
    }
    void on_frame(int fd, short revents)
    {
        std::vector<unsigned char> frame(1024);
        frame.resize(size_t(std::max<ssize_t>((revents & POLLIN) ? read(fd, frame.data(), frame.size()) : 0, 0)));
        if (frame.size() <= 2 || (dropping && ++from_ss7_count % 10 == 0))
            return;
        frame.resize(frame.size() - 2);
        record(frame);
        deliver(frame.data(), unsigned(frame.size()));
    }
    // The event holds a duplicate of libss7's descriptor; libss7 knows its link by the original.
    void on_ss7(int, short revents)
    {
        if (revents & POLLIN)
            ss7_read(ss7, fds[0]);
        take_events();
    }
    void take_events()
    {
        while (ss7_event* event = ss7_check_event(ss7)) {
            events.push_back(event->e);
            if (event->e == ISUP_EVENT_LPA)
                lpa_cics.push_back(event->lpa.cic);
        }
    }

    std::function<void(const unsigned char*, unsigned)> deliver;
    std::ofstream pcap;
    int fds[2];
    struct ss7* ss7;
    Event from_ss7, to_ss7;
    std::vector<int> events;  // libss7's, in order
    std::vector<int> lpa_cics;  // the circuits of the loop back acknowledgements libss7 received
    std::vector<unsigned char> repeated;
    bool sent_since_tick = false;
    bool dropping = false;
    unsigned to_ss7_count = 0, from_ss7_count = 0;
    std::chrono::steady_clock::time_point next_tick;
};

}  // namespace testsupport
