#include "support/own_network.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/if_tun.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

OwnNetwork::~OwnNetwork()
{
    for (int fd : held_)
        close(fd);
    if (home_ < 0)
        return;
    if (setns(home_, CLONE_NEWNET) != 0)
        ADD_FAILURE() << "cannot return to the network namespace: " << std::strerror(errno);
    close(home_);
}

bool OwnNetwork::enter(const std::vector<std::string>& interfaces)
{
    home_ = open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    if (home_ < 0 || unshare(CLONE_NEWNET) != 0)
        return false;
    ifreq request{};
    std::strcpy(request.ifr_name, "lo");
    request.ifr_flags = IFF_UP;
    bool made = hold(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) && ioctl(held_.back(), SIOCSIFFLAGS, &request) == 0;
    for (const std::string& name : interfaces) {
        std::strncpy(request.ifr_name, name.c_str(), IFNAMSIZ - 1);
        request.ifr_flags = IFF_TUN | IFF_NO_PI;
        made = made && hold(open("/dev/net/tun", O_RDWR | O_CLOEXEC)) && ioctl(held_.back(), TUNSETIFF, &request) == 0;
    }
    return made;
}

bool OwnNetwork::hold(int fd)
{
    if (fd >= 0)
        held_.push_back(fd);
    return fd >= 0;
}

}  // namespace testsupport
