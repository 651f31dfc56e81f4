#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include <netinet/in.h>
#include <sys/socket.h>

namespace INet4 {

// An IPv4 endpoint laid out exactly as sockaddr_in, so that it goes to bind, connect, accept and
// sendto as it is. Plain value: copies are plain copies.
class Addr {
public:
    Addr() { Reset(); }

    // All bytes zero, family AF_INET: 0.0.0.0 port 0.
    void Reset();

    // Parses a dotted address with an optional ":" and decimal port. With a colon the number's
    // low 16 bits become the port and the whole number goes to *port (one beyond int's range as
    // its nearest end, INT_MIN or INT_MAX); without one *port gets -1
    // and the stored port stays. The address is stored only when it parses, which is the result.
    bool Assign(const char* text, int* port = nullptr);
    bool Assign(const std::string& text, int* port = nullptr);
    // Stores an address already in network order; the port stays.
    void Assign(unsigned long address);

    // Address and port equal; the family is not compared.
    bool IsEqual(const Addr& other) const;

    // "a.b.c.d:port"; leaves the stream in decimal mode.
    void Put(std::ostream& out) const;
    std::string GetString() const;
    // The four address bytes in network order.
    std::vector<unsigned char> GetVector() const;

    uint16_t port() const { return ntohs(sin_.sin_port); }
    void set_port(uint16_t port) { sin_.sin_port = htons(port); }
    // The address in network order.
    uint32_t address() const { return sin_.sin_addr.s_addr; }

    sockaddr* as_sockaddr() { return reinterpret_cast<sockaddr*>(&sin_); }
    const sockaddr* as_sockaddr() const { return reinterpret_cast<const sockaddr*>(&sin_); }
    static constexpr socklen_t size() { return sizeof(sockaddr_in); }

private:
    sockaddr_in sin_;
};

static_assert(sizeof(Addr) == sizeof(sockaddr_in), "INet4::Addr must be laid out as sockaddr_in");

inline std::ostream& operator<<(std::ostream& out, const Addr& addr)
{
    addr.Put(out);
    return out;
}

// Assign for a peer's "address:port": a port outside 1..65535 (which Assign cuts to 16 bits, so
// that it names some other port) refuses the text as an address that does not parse does.
bool AssignPeer(Addr& addr, const std::string& text);

}  // namespace INet4
