#include "foundation/os/linux_run.h"

#include "foundation/os/fixed_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Linux {

Run::Run(const char* name) : path_(fixed_path(std::string("/var/run/") + name + ".pid"))
{
    // Close-on-exec: the programs the daemon starts must not hold the pid file open.
    fd_ = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_SYNC | O_CLOEXEC, 0644);
    if (fd_ < 0)
        return;
    // The creation mode is cut by the umask; readers of the pid file expect 0644.
    fchmod(fd_, 0644);
    std::string pid = std::to_string(getpid());
    ssize_t written = write(fd_, pid.data(), pid.size());
    (void)written;
    fsync(fd_);
}

Run::~Run()
{
    if (fd_ < 0)
        return;
    close(fd_);
    unlink(path_.c_str());
}

}  // namespace Linux
