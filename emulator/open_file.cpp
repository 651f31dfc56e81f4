#include "emulator/open_file.h"

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Emulator {

namespace {

// One record of the largest size a driver channel carries.
constexpr size_t max_record = 65536;

}  // namespace

OpenFile::OpenFile(int id, Driver& driver, int fd, uint64_t inode) : id_(id), driver_(driver), fd_(fd), inode_(inode) {}

OpenFile::~OpenFile() { ::close(fd_); }

void OpenFile::push(std::vector<uint8_t> record)
{
    queued_.push_back(std::move(record));
    send_queued();
}

void OpenFile::push(std::vector<std::vector<uint8_t>> records)
{
    for (std::vector<uint8_t>& record : records)
        queued_.push_back(std::move(record));
    send_queued();
}

void OpenFile::end_of_file()
{
    end_pending_ = true;
    send_queued();
}

short OpenFile::events() const
{
    short events = 0;
    if (draining_ && !held_)
        events |= POLLIN;
    if (!queued_.empty())
        events |= POLLOUT;
    return events;
}

void OpenFile::send_queued()
{
    while (!queued_.empty()) {
        const std::vector<uint8_t>& record = queued_.front();
        ssize_t sent = send(fd_, record.data(), record.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        // Sent, or the daemon is gone and its close will be seen: either way the record is done.
        queued_.pop_front();
    }
    if (end_pending_ && !ended_) {
        shutdown(fd_, SHUT_WR);
        ended_ = true;
    }
}

bool OpenFile::serve(short revents, const std::function<void(const uint8_t*, size_t)>& received)
{
    if (revents & POLLOUT)
        send_queued();
    if (revents & POLLIN) {
        static uint8_t buffer[max_record];
        // A record taken may make the model hold the rest back.
        while (draining_ && !held_) {
            ssize_t length = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
            if (length > 0) {
                received(buffer, length);
                continue;
            }
            // An empty record carries nothing; the daemon's close shows as a hang-up.
            if (length < 0 && errno == EINTR)
                continue;
            break;
        }
    }
    return !(revents & (POLLHUP | POLLERR));
}

}  // namespace Emulator
