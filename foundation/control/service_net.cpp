#include "foundation/control/service_net.h"

#include <iostream>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace Control {

void ServiceNet::Connected(Fd socket, const INet4::Addr& peer)
{
    if (state() == State::Deactivating)
        return;
    const int on = 1;
    if (setsockopt(socket, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) != 0 && verbose())
        std::cerr << "fail set keepalive to control socket." << std::endl;
    if (setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0 && verbose())
        std::cerr << "fail to turn off Nagle algorithm." << std::endl;
    peer_ = peer;
    Service::Connected(socket, peer.GetString());
}

}  // namespace Control
