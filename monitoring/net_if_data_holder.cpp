#include "monitoring/net_if_data_holder.h"

#include "server/trace_ctl.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <numeric>

#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr unsigned long get_if_name = 0x8910;
constexpr unsigned long get_if_flags = 0x8913;
constexpr int packet_protocol = 255;
constexpr size_t kept_samples = 3;

void trace_failure(const char* what)
{
    if (traces.monitoring)
        std::clog << what << " errno=\"" << std::strerror(errno) << '"' << std::endl;
}

}  // namespace

int open_interface_socket() { return socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, packet_protocol); }

std::string interface_name(int sock, int index)
{
    ifreq request;
    std::memset(&request, 0, sizeof request);
    request.ifr_ifindex = index;
    if (ioctl(sock, get_if_name, &request) < 0)
        return std::string();
    return std::string(request.ifr_name, strnlen(request.ifr_name, IFNAMSIZ));
}

bool NetIfDataHolder::updateNetIf()
{
    const int sock = open_interface_socket();
    if (sock < 0) {
        trace_failure("Error open socket: ");
        return false;
    }
    const std::string name = interface_name(sock, index_);
    ifreq request;
    std::memset(&request, 0, sizeof request);
    std::memcpy(request.ifr_name, name.data(), std::min<size_t>(name.size(), IFNAMSIZ - 1));
    bool changed = false;
    if (name.empty() || ioctl(sock, get_if_flags, &request) < 0)
        trace_failure("Error ioctl socket: ");
    else
        changed = setNetIfStatus(request.ifr_flags & IFF_RUNNING);
    close(sock);
    return changed;
}

bool NetIfDataHolder::setNetIfStatus(int running)
{
    samples_.push_back(running != 0);
    while (samples_.size() > kept_samples)
        samples_.pop_front();
    const int state = std::accumulate(samples_.begin(), samples_.end(), 0) > 1 ? 1 : 0;
    operStatus_ = adminStatus_ = state ? 1 : 2;
    const bool changed = state != linkState_;
    linkState_ = state;
    return changed;
}
