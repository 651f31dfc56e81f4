#include "foundation/control/connector_unix.h"

#include "foundation/control/unix_socket_path.h"

#include <cerrno>
#include <cstring>
#include <iostream>

#include <sys/socket.h>

namespace Control {

ConnectorUnix::ConnectorUnix(const std::string& server, const std::string& local)
    : Connector<ServiceUnix>("ConnectorUnix::OnSocketEvent"), server_(server), local_(local)
{
}

void ConnectorUnix::TryConnect()
{
    if (!OpenSocket(AF_UNIX, 0, "can't create domain socket:", "can't set domain socket to non block mode: "))
        return;
    // Without its own path the peer sees an unnamed client; the attempt goes on either way.
    if (!local_.empty() && BindUnixPath(socket(), local_) != 0)
        std::cerr << "can't bind to domain socket '" << local_ << "': \"" << std::strerror(errno) << std::endl;
    if (ConnectUnixPath(socket(), server_) != 0) {
        std::cerr << "can't connect to " << server_ << " : " << std::strerror(errno) << std::endl;
        Retry(refused_retry_ms);
        return;
    }
    std::clog << "connected to " << server_ << std::endl;
    WatchSocket();
    Established(server_);
}

}  // namespace Control
