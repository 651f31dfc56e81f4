#include "foundation/control/acceptor_net.h"

#include <netinet/in.h>
#include <sys/socket.h>

namespace Control {

AcceptorNet::AcceptorNet(int port, bool verbose)
    : Acceptor<ServiceNet>("AcceptorNet::OnSocketEvent", verbose), port_(uint16_t(port))
{
}

bool AcceptorNet::ImplActivate()
{
    if (!OpenListeningSocket(AF_INET, IPPROTO_TCP))
        return false;
    const int on = 1;
    setsockopt(listening_socket(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    BindSocket();
    return true;
}

int AcceptorNet::BindAddress(int socket)
{
    INet4::Addr address;
    address.set_port(port_);
    return bind(socket, address.as_sockaddr(), INet4::Addr::size());
}

}  // namespace Control
