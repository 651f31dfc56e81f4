#include "foundation/util/inet4_addr.h"

#include <algorithm>
#include <arpa/inet.h>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>

namespace INet4 {

void Addr::Reset()
{
    std::memset(&sin_, 0, sizeof sin_);
    sin_.sin_family = AF_INET;
}

bool Addr::Assign(const char* text, int* port)
{
    const char* colon = std::strchr(text, ':');
    std::string address_text;
    if (colon) {
        long number = std::strtol(colon + 1, nullptr, 10);
        sin_.sin_port = htons(static_cast<uint16_t>(number));
        // Held whole where it fits, else at int's nearest end, so that no number wraps into range.
        if (port)
            *port = static_cast<int>(std::clamp<long>(number, INT_MIN, INT_MAX));
        address_text.assign(text, colon);
    } else {
        if (port)
            *port = -1;
        address_text = text;
    }
    in_addr parsed;
    if (!inet_aton(address_text.c_str(), &parsed))
        return false;
    sin_.sin_addr = parsed;
    return true;
}

bool Addr::Assign(const std::string& text, int* port) { return Assign(text.c_str(), port); }

void Addr::Assign(unsigned long address) { sin_.sin_addr.s_addr = static_cast<in_addr_t>(address); }

bool Addr::IsEqual(const Addr& other) const
{
    return sin_.sin_addr.s_addr == other.sin_.sin_addr.s_addr && sin_.sin_port == other.sin_.sin_port;
}

namespace {

std::string dotted(const in_addr& address)
{
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

}  // namespace

void Addr::Put(std::ostream& out) const { out << dotted(sin_.sin_addr) << ':' << std::dec << port(); }

std::string Addr::GetString() const
{
    char port_text[16];
    std::snprintf(port_text, sizeof port_text, "%d", port());
    return dotted(sin_.sin_addr) + ':' + port_text;
}

std::vector<unsigned char> Addr::GetVector() const
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(&sin_.sin_addr.s_addr);
    return std::vector<unsigned char>(bytes, bytes + 4);
}

bool AssignPeer(Addr& addr, const std::string& text)
{
    int port = 0;
    return addr.Assign(text, &port) && (text.find(':') == std::string::npos || (port >= 1 && port <= 0xFFFF));
}

}  // namespace INet4
