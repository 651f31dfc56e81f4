#include "foundation/control/connector_net.h"

#include <cerrno>
#include <cstring>
#include <iostream>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace Control {

ConnectorNet::ConnectorNet(const std::string& host, unsigned short port)
    : Connector<ServiceNet>("ConnectorNet::OnSocketEvent"), port_(port), host_(host)
{
}

ConnectorNet::ConnectorNet(const std::string& address) : ConnectorNet()
{
    INet4::Addr parsed;
    const bool valid = INet4::AssignPeer(parsed, address);
    port_ = parsed.port();
    if (!valid) {
        // Kept as given, so that every attempt names what failed to parse.
        host_ = address;
        return;
    }
    in_addr dotted;
    dotted.s_addr = parsed.address();
    char text[INET_ADDRSTRLEN];
    host_ = inet_ntop(AF_INET, &dotted, text, sizeof text);
}

void ConnectorNet::TryConnect()
{
    INet4::Addr address;
    address.set_port(port_);
    if (!INet4::AssignPeer(address, host_)) {
        std::cerr << "can't connect to " << host_ << " : invalid address" << std::endl;
        Retry(refused_retry_ms);
        return;
    }
    address_ = address;
    if (!OpenSocket(AF_INET, IPPROTO_TCP, "can't create socket:", "can't set socket to non block mode: "))
        return;
    if (connect(socket(), address_.as_sockaddr(), INet4::Addr::size()) == 0) {
        std::clog << "already connected to " << address_ << std::endl;
        Established(address_);
        return;
    }
    if (errno == EINPROGRESS) {
        WatchSocket();
        return;
    }
    std::cerr << "can't connect to " << address_ << " : " << std::strerror(errno) << std::endl;
    Retry(refused_retry_ms);
}

std::string ConnectorNet::Target() const { return address_.GetString(); }

void ConnectorNet::OnWritable()
{
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(socket(), SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
        std::cerr << "getsockopt(SOL_SOCKET,SO_ERROR) fail: " << std::strerror(errno) << std::endl;
        Deactivate();
        return;
    }
    if (error != 0) {
        std::cerr << "fail to connect to " << address_ << std::endl;
        Retry(pending_error_retry_ms);
        return;
    }
    std::cout << "connected to " << address_ << "." << std::endl;
    Established(address_);
}

}  // namespace Control
