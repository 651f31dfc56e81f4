#include "support/own_network.h"

#include <cstring>
#include <fcntl.h>
#include <linux/if_tun.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

bool own_network(const std::vector<std::string>& interfaces)
{
    if (unshare(CLONE_NEWNET) != 0)
        return false;
    ifreq request{};
    std::strcpy(request.ifr_name, "lo");
    request.ifr_flags = IFF_UP;
    int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    bool made = socket >= 0 && ioctl(socket, SIOCSIFFLAGS, &request) == 0;
    if (socket >= 0)
        close(socket);
    for (const std::string& name : interfaces) {
        std::strncpy(request.ifr_name, name.c_str(), IFNAMSIZ - 1);
        request.ifr_flags = IFF_TUN | IFF_NO_PI;
        made = made && ioctl(open("/dev/net/tun", O_RDWR | O_CLOEXEC), TUNSETIFF, &request) == 0;
    }
    return made;
}

}  // namespace testsupport
