#pragma once

// A UDP socket of the test on a port that the kernel chose, so that no other test or program picks
// the same one: where an RTP slot sends its RTCP (to the remote RTP port plus one), or a port that
// a slot's RTCP socket binds beside the test's (both sockets let the address be reused).

#include <arpa/inet.h>
#include <cstdint>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace slottest {

struct UdpPort {
    // `address` in host order.
    explicit UdpPort(uint32_t address)
    {
        int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in bound{AF_INET, 0, {htonl(address)}, {}};
        socklen_t size = sizeof bound;
        bind(fd, reinterpret_cast<sockaddr*>(&bound), size);
        getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &size);
        port = ntohs(bound.sin_port);
    }
    ~UdpPort() { close(fd); }

    // The next datagram, waiting up to 10 s, and its source port; empty when none came.
    std::vector<unsigned char> receive(uint16_t& from) const
    {
        std::vector<unsigned char> datagram(1500);
        sockaddr_in source{};
        socklen_t size = sizeof source;
        pollfd ready{fd, POLLIN, 0};
        auto* address = reinterpret_cast<sockaddr*>(&source);
        ssize_t length = poll(&ready, 1, 10000) == 1 ? recvfrom(fd, datagram.data(), 1500, 0, address, &size) : 0;
        datagram.resize(length > 0 ? length : 0);
        from = ntohs(source.sin_port);
        return datagram;
    }

    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    uint16_t port = 0;
};

}  // namespace slottest
