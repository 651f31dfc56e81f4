#include "foundation/control/unix_socket_path.h"

#include <cerrno>
#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace Control {

namespace {

bool make_address(const std::string& path, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

}  // namespace

int BindUnixPath(int socket, const std::string& path)
{
    sockaddr_un address;
    if (!make_address(path, address))
        return -1;
    struct stat status;
    if (lstat(path.c_str(), &status) == 0 && S_ISSOCK(status.st_mode))
        unlink(path.c_str());
    return bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

int ConnectUnixPath(int socket, const std::string& path)
{
    sockaddr_un address;
    if (!make_address(path, address))
        return -1;
    return connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

}  // namespace Control
