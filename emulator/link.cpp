#include "emulator/link.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Emulator {

Link::~Link()
{
    for (const Queued& queued : queued_)
        if (queued.passed >= 0)
            ::close(queued.passed);
    ::close(fd_);
}

short Link::events() const { return queued_.empty() ? POLLIN : POLLOUT; }

ssize_t Link::receive(uint8_t* buffer, size_t capacity)
{
    for (;;) {
        ssize_t length = recv(fd_, buffer, capacity, MSG_DONTWAIT | MSG_TRUNC);
        if (length > 0)
            return length;
        if (length < 0 && errno == EINTR)
            continue;
        if (length < 0 && errno == EAGAIN)
            return 0;
        return -1;
    }
}

bool Link::send_one(const uint8_t* message, size_t length, int passed)
{
    iovec data{const_cast<uint8_t*>(message), length};
    msghdr header{};
    header.msg_iov = &data;
    header.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
    if (passed >= 0) {
        header.msg_control = control;
        header.msg_controllen = sizeof control;
        cmsghdr* item = CMSG_FIRSTHDR(&header);
        item->cmsg_level = SOL_SOCKET;
        item->cmsg_type = SCM_RIGHTS;
        item->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(item), &passed, sizeof passed);
    }
    ssize_t sent;
    do
        sent = sendmsg(fd_, &header, MSG_DONTWAIT | MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    if (sent < 0 && errno == EAGAIN)
        return false;
    // Sent, or the daemon has gone and the hang-up will remove this link.
    if (passed >= 0)
        ::close(passed);
    return true;
}

void Link::reply(const uint8_t* message, size_t length, int passed)
{
    if (queued_.empty() && send_one(message, length, passed))
        return;
    queued_.push_back({std::vector<uint8_t>(message, message + length), passed});
}

void Link::send_queued()
{
    while (!queued_.empty() && send_one(queued_.front().message.data(), queued_.front().message.size(),
                                        queued_.front().passed))
        queued_.pop_front();
}

}  // namespace Emulator
