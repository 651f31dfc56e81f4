#pragma once

// The records exchanged with portslave, pppd's authentication program, over its connection to
// the authentication server: a header of three unsigned 32-bit words in the board's byte order
// (big-endian) {length of the whole record in bytes, type, modem id of the call}, then the fields
// of the type. Portslave sends authentication requests (voauth) and accounting (voacct); the
// server answers an activation with the acceptance and the IP parameters of the call.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class attr {
public:
    static constexpr size_t header_size = 12;
    // Bounds of the length word.
    static constexpr uint32_t min_length = 4;
    static constexpr uint32_t max_length = 512;

    enum Type : uint32_t { auth_request = 1, accept = 2, ip_parameters = 3, accounting = 4 };

    // A whole record as received, at least its header.
    attr(const uint8_t* bytes, size_t length);

    // The acceptance of a call.
    static attr Accept(int modem_id);
    // Remote address, netmask, gateway and name server in network order, then the MTU.
    static attr IpParameters(int modem_id, const std::array<uint32_t, 4>& addresses, uint32_t mtu);

    size_t length() const { return bytes_.size(); }
    uint32_t type() const;
    int modem_id() const;
    const uint8_t* data() const { return bytes_.data(); }

private:
    attr(size_t length, Type type, int modem_id);

    std::vector<uint8_t> bytes_;
};

// An authentication request, 140 bytes: the caller's user name and password, each a text ended by
// a NUL byte in a field of 64 bytes.
class voauth {
public:
    static constexpr size_t length = 140;

    // A record of type auth_request and this length.
    explicit voauth(const attr& record) : record_(record) {}

    // The text up to the first NUL, at most the whole field.
    std::string username() const;
    std::string password() const;

private:
    const attr& record_;
};

// Accounting of a call, 64 bytes: four 64-bit counters (high word first) and the connection time.
class voacct {
public:
    static constexpr size_t length = 64;

    // A record of type accounting and this length.
    explicit voacct(const attr& record) : record_(record) {}

    uint64_t octets_out() const { return counter(24); }
    uint64_t octets_in() const { return counter(32); }
    uint64_t packets_out() const { return counter(40); }
    uint64_t packets_in() const { return counter(48); }
    uint32_t time() const;

private:
    uint64_t counter(size_t offset) const;

    const attr& record_;
};
