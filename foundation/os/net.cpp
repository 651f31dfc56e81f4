#include "foundation/os/net.h"

#include "foundation/os/fd.h"

#include <arpa/inet.h>
#include <cstring>
#include <net/if.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace Net {

std::string hostname()
{
    char name[512];
    if (gethostname(name, sizeof name) != 0)
        return std::string();
    name[sizeof name - 1] = '\0';
    return name;
}

int hostname(const std::string& name) { return sethostname(name.data(), name.size()); }

namespace {

constexpr unsigned long kGetIfConf = 0x8912;
constexpr unsigned long kGetIfFlags = 0x8913;
constexpr unsigned long kGetIfAddr = 0x8915;
constexpr int kMaxInterfaces = 16;

bool in_net(uint32_t address, uint32_t net, uint32_t mask) { return (address & mask) == net; }

bool passes(const ifreq& entry, ifconfig_mode_t mode)
{
    if (mode == 0)
        return true;
    uint32_t address = ntohl(reinterpret_cast<const sockaddr_in&>(entry.ifr_addr).sin_addr.s_addr);
    if ((mode & if_not_loopback) && strcasecmp(entry.ifr_name, "lo") != 0)
        return true;
    if ((mode & if_link_local) && in_net(address, 0xA9FE0000, 0xFFFF0000))
        return true;
    return (mode & if_private) &&
           (in_net(address, 0x0A000000, 0xFF000000) || in_net(address, 0xAC100000, 0xFFF00000) ||
            in_net(address, 0xC0A80000, 0xFFFF0000));
}

// Calls found(socket, entry) for each IPv4 interface that passes the filter; found tells whether
// it appended something.
template <typename Found>
int walk_interfaces(ifconfig_mode_t mode, Found found)
{
    Fd sock(socket(AF_INET, SOCK_DGRAM, 0));
    if (!sock)
        return -1;
    ifreq entries[kMaxInterfaces];
    std::memset(entries, 0, sizeof entries);
    ifconf list;
    list.ifc_len = sizeof entries;
    list.ifc_req = entries;
    if (ioctl(sock, kGetIfConf, &list) < 0) {
        sock.close();
        return -1;
    }
    int count = 0;
    int listed = list.ifc_len / static_cast<int>(sizeof(ifreq));
    for (int i = 0; i < listed && i < kMaxInterfaces; ++i) {
        if (entries[i].ifr_addr.sa_family == AF_INET && passes(entries[i], mode) && found(sock, entries[i]))
            ++count;
    }
    sock.close();
    return count;
}

bool ask(int sock, unsigned long request, const ifreq& entry, ifreq& answer)
{
    std::memset(&answer, 0, sizeof answer);
    std::memcpy(answer.ifr_name, entry.ifr_name, sizeof answer.ifr_name);
    return ioctl(sock, request, &answer) >= 0;
}

}  // namespace

int ifconfig(std::list<INet4::Addr>& addresses, ifconfig_mode_t mode)
{
    return walk_interfaces(mode, [&](int sock, const ifreq& entry) {
        ifreq answer;
        if (!ask(sock, kGetIfAddr, entry, answer))
            return false;
        INet4::Addr address;
        std::memcpy(address.as_sockaddr(), &answer.ifr_addr, INet4::Addr::size());
        addresses.push_back(address);
        return true;
    });
}

int ifconfig(std::list<std::string>& names, ifconfig_mode_t mode, short flags)
{
    return walk_interfaces(mode, [&](int sock, const ifreq& entry) {
        ifreq answer;
        if (!ask(sock, kGetIfAddr, entry, answer) || !ask(sock, kGetIfFlags, entry, answer))
            return false;
        if ((answer.ifr_flags & flags) != flags)
            return false;
        names.emplace_back(entry.ifr_name, strnlen(entry.ifr_name, IFNAMSIZ));
        return true;
    });
}

}  // namespace Net
