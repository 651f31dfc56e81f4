#pragma once

#include "foundation/util/inet4_addr.h"

#include <list>
#include <string>

// Host name and the IPv4 addresses of the host's network interfaces.
namespace Net {

// Filter bits of ifconfig; an address passes when it meets any set bit, and 0 passes all.
using ifconfig_mode_t = unsigned;
constexpr ifconfig_mode_t if_not_loopback = 1;  // interfaces other than "lo"
constexpr ifconfig_mode_t if_link_local = 2;    // 169.254.0.0/16
constexpr ifconfig_mode_t if_private = 4;       // 10.0.0.0/8, 172.16.0.0/12, 192.168.0.0/16

// The empty string when the name cannot be read.
std::string hostname();
int hostname(const std::string& name);

// Append the address (port 0), or the name of every interface whose flags include all of the
// given flags, for each of the first 16 interfaces that passes the filter. The result is the
// number appended, or -1 when the interface list cannot be had.
int ifconfig(std::list<INet4::Addr>& addresses, ifconfig_mode_t mode);
int ifconfig(std::list<std::string>& names, ifconfig_mode_t mode, short flags);

}  // namespace Net
