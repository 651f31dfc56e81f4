#include "foundation/control/acceptor_unix.h"

#include "foundation/control/unix_socket_path.h"

#include <sys/socket.h>

namespace Control {

AcceptorUnix::AcceptorUnix(const std::string& path)
    : Acceptor<ServiceUnix>("AcceptorUnix::OnSocketEvent", true), path_(path)
{
}

bool AcceptorUnix::ImplActivate()
{
    if (!OpenListeningSocket(AF_UNIX, 0))
        return false;
    BindSocket();
    return true;
}

int AcceptorUnix::BindAddress(int socket) { return BindUnixPath(socket, path_); }

}  // namespace Control
