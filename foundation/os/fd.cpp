#include "foundation/os/fd.h"

#include "foundation/os/device.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

int Fd::dup() const
{
    if (fd_ < 0)
        return -1;
    int copy = ::dup(fd_);
    if (copy >= 0)
        SetCloexec(copy, true);
    return copy;
}

int Fd::close()
{
    if (fd_ < 0) {
        errno = EBADF;
        return -1;
    }
    Device::forget(fd_);
    int result = ::close(fd_);
    fd_ = -1;
    return result;
}

bool Fd::NonBlock() const { return fd_ >= 0 && NonBlockMode(fd_); }

namespace {

bool change_status_flags(int fd, int add, int remove)
{
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0)
        return false;
    return fcntl(fd, F_SETFL, (flags | add) & ~remove) == 0;
}

}  // namespace

bool NonBlockMode(int fd) { return change_status_flags(fd, O_NONBLOCK, 0); }

bool BlockMode(int fd) { return change_status_flags(fd, 0, O_NONBLOCK); }

void SetCloexec(int fd, bool on)
{
    int flags = fcntl(fd, F_GETFD);
    if (flags < 0)
        return;
    fcntl(fd, F_SETFD, on ? flags | FD_CLOEXEC : flags & ~FD_CLOEXEC);
}
