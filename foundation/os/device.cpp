#include "foundation/os/device.h"

#include "foundation/os/device_link.h"
#include "foundation/os/fixed_path.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace Device {

namespace {

// This process's connection to the board emulator. It belongs to one root and one process: a
// test that moves to a fresh root, or a forked child, connects anew.
struct Link {
    int fd = -1;
    pid_t owner = 0;
    std::string path;
};

Link link;

void drop_link()
{
    if (link.fd >= 0)
        ::close(link.fd);
    link.fd = -1;
}

bool link_serves(const std::string& board)
{
    if (link.fd < 0)
        return false;
    if (link.owner == getpid() && link.path == board)
        return true;
    drop_link();
    return false;
}

bool connect_link(const std::string& board)
{
    drop_link();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (board.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(address.sun_path, board.c_str(), board.size() + 1);
    int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    int connected;
    do
        connected = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    while (connected < 0 && errno == EINTR);
    if (connected < 0) {
        int error = errno;
        ::close(fd);
        errno = error;
        return false;
    }
    link = {fd, getpid(), board};
    return true;
}

// Sends one message and waits for the reply; a descriptor passed with it goes to *passed (or is
// closed when the caller expects none). Returns the reply's length, or -1 with errno EIO after
// dropping the link when the emulator has gone away.
ssize_t exchange(const uint8_t* message, size_t length, uint8_t* reply, size_t capacity, int* passed)
{
    ssize_t sent;
    do
        sent = send(link.fd, message, length, MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);

    ssize_t received = -1;
    msghdr header{};
    iovec buffer{reply, capacity};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
    if (sent == static_cast<ssize_t>(length)) {
        header.msg_iov = &buffer;
        header.msg_iovlen = 1;
        header.msg_control = control;
        header.msg_controllen = sizeof control;
        do
            received = recvmsg(link.fd, &header, MSG_CMSG_CLOEXEC);
        while (received < 0 && errno == EINTR);
    }
    int descriptor = -1;
    if (received > 0) {
        for (cmsghdr* item = CMSG_FIRSTHDR(&header); item; item = CMSG_NXTHDR(&header, item))
            if (item->cmsg_level == SOL_SOCKET && item->cmsg_type == SCM_RIGHTS)
                std::memcpy(&descriptor, CMSG_DATA(item), sizeof descriptor);
    }
    if (received <= 0 || (header.msg_flags & (MSG_TRUNC | MSG_CTRUNC))) {
        if (descriptor >= 0)
            ::close(descriptor);
        drop_link();
        errno = EIO;
        return -1;
    }
    if (passed)
        *passed = descriptor;
    else if (descriptor >= 0)
        ::close(descriptor);
    return received;
}

Fd open_emulated(const std::string& board, const char* path, int flags)
{
    DeviceLink::Open open{static_cast<uint32_t>(flags), path};
    if (open.path.size() > DeviceLink::max_path) {
        errno = ENAMETOOLONG;
        return -1;
    }
    uint8_t message[DeviceLink::max_open_message];
    size_t length = DeviceLink::put_open(message, open);
    uint8_t reply[DeviceLink::max_reply_message];
    int descriptor = -1;
    ssize_t received = -1;
    // A connection kept from earlier may find the emulator restarted: then one fresh try.
    for (bool fresh = false; received < 0 && !fresh;) {
        fresh = !link_serves(board);
        if (fresh && !connect_link(board))
            return -1;
        received = exchange(message, length, reply, sizeof reply, &descriptor);
    }
    if (received < 0)
        return -1;

    DeviceLink::Reply answer;
    if (!DeviceLink::get_reply(reply, received, answer) || (answer.result >= 0 && descriptor < 0)) {
        if (descriptor >= 0)
            ::close(descriptor);
        errno = EIO;
        return -1;
    }
    if (answer.result < 0) {
        if (descriptor >= 0)
            ::close(descriptor);
        errno = answer.error ? answer.error : EIO;
        return -1;
    }
    if (flags & O_NONBLOCK)
        NonBlockMode(descriptor);
    return descriptor;
}

int request_emulated(int fd, const DeviceLink::Request& request, uint8_t* filled)
{
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISSOCK(status.st_mode)) {
        errno = EBADF;
        return -1;
    }
    if (request.size > DeviceLink::max_record) {
        errno = EINVAL;
        return -1;
    }
    DeviceLink::Request named = request;
    named.inode = status.st_ino;
    uint8_t message[DeviceLink::max_request_message];
    size_t length = DeviceLink::put_request(message, named);
    uint8_t reply[DeviceLink::max_reply_message];
    ssize_t received = exchange(message, length, reply, sizeof reply, nullptr);
    if (received < 0)
        return -1;
    DeviceLink::Reply answer;
    if (!DeviceLink::get_reply(reply, received, answer) || (filled && answer.size != request.size)) {
        errno = EIO;
        return -1;
    }
    if (filled)
        std::memcpy(filled, answer.record, answer.size);
    if (answer.result < 0) {
        errno = answer.error ? answer.error : EIO;
        return -1;
    }
    return answer.result;
}

// Requests go to the emulator once this process has opened a device through it under the current
// root; on the board there is never a link, and this costs nothing beyond the ioctl.
bool emulated()
{
    return link.fd >= 0 && link_serves(fixed_path(DeviceLink::socket_path));
}

}  // namespace

Fd open(const char* path, int flags)
{
    std::string board = fixed_path(DeviceLink::socket_path);
    struct stat status;
    if (stat(board.c_str(), &status) == 0 && S_ISSOCK(status.st_mode))
        return open_emulated(board, path, flags);
    return ::open(fixed_path(path).c_str(), flags | O_CLOEXEC);
}

int request(int fd, uint32_t code)
{
    if (emulated())
        return request_emulated(fd, {DeviceLink::Argument::none, code}, nullptr);
    return ::ioctl(fd, static_cast<unsigned long>(code), 0UL);
}

int request_value(int fd, uint32_t code, uint32_t value)
{
    if (emulated())
        return request_emulated(fd, {DeviceLink::Argument::value, code, 0, value}, nullptr);
    return ::ioctl(fd, static_cast<unsigned long>(code), static_cast<unsigned long>(value));
}

int request_in(int fd, uint32_t code, const uint8_t* record, size_t size)
{
    if (emulated())
        return request_emulated(fd, {DeviceLink::Argument::record, code, 0, 0, record, size}, nullptr);
    return ::ioctl(fd, static_cast<unsigned long>(code), const_cast<uint8_t*>(record));
}

int request_inout(int fd, uint32_t code, uint8_t* record, size_t size)
{
    if (emulated())
        return request_emulated(fd, {DeviceLink::Argument::record, code, 0, 0, record, size}, record);
    return ::ioctl(fd, static_cast<unsigned long>(code), record);
}

}  // namespace Device
