#include "emulator/control_session.h"

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Emulator {

namespace {

constexpr size_t max_line = 1 << 20;

}  // namespace

ControlSession::~ControlSession() { ::close(fd_); }

short ControlSession::events() const { return output_.empty() ? POLLIN : POLLIN | POLLOUT; }

void ControlSession::send_answers()
{
    while (!output_.empty()) {
        ssize_t sent = send(fd_, output_.data(), output_.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0) {
            // Full: the rest waits for the next writable report. Gone: the hang-up ends the session.
            if (errno != EAGAIN)
                output_.clear();
            return;
        }
        output_.erase(0, sent);
    }
}

bool ControlSession::serve(short revents, const std::function<std::string(const std::string&)>& execute)
{
    if (revents & POLLIN) {
        char buffer[4096];
        ssize_t length;
        do
            length = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        while (length < 0 && errno == EINTR);
        if (length == 0 || (length < 0 && errno != EAGAIN))
            return false;
        if (length > 0)
            input_.append(buffer, length);
        for (size_t end; (end = input_.find('\n')) != std::string::npos;) {
            std::string line = input_.substr(0, end);
            input_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            output_ += execute(line);
        }
        if (input_.size() > max_line)
            return false;
    }
    send_answers();
    return !(revents & (POLLHUP | POLLERR)) || (revents & POLLIN);
}

}  // namespace Emulator
