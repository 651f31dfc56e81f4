#include "signalling/slots/mcc_slot.h"

#include "signalling/slots/channel_end.h"

#include "foundation/util/ext_header.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <poll.h>
#include <unistd.h>

MccSlot::MccSlot(Fd fd, int channel) : channel(channel)
{
    event_.Bind("MccSlot::OnEvent", &MccSlot::OnEvent, this);
    event_.Schedule(fd, POLLIN);
}

void MccSlot::PutHeader(std::ostream& out) const { out << "mcc[" << channel << "]: "; }

bool MccSlot::IUserData(const std::vector<char>& data)
{
    if (refused_without_channel(*this, !event_.fd(), "userData dropped"))
        return false;
    if (write(event_.fd(), data.data(), data.size()) < 0) {
        int error = errno;
        std::cerr << ext::header(this) << "write fail: " << std::strerror(error) << std::endl;
        // A full driver queue empties as the line takes the frames: the controller may try again.
        RefuseCommand(error == EAGAIN ? LGCP::ErrorCause::insufficientResources : LGCP::ErrorCause::busError);
    }
    return true;
}

void MccSlot::OnEvent(int, short revents)
{
    if (revents & POLLIN)
        DoRead();
}

void MccSlot::DoRead()
{
    std::vector<char> buffer;
    for (;;) {
        buffer.resize(1024);
        ssize_t length = read(event_.fd(), buffer.data(), buffer.size());
        if (length > 0) {
            buffer.resize(size_t(length));
            OnUserData(buffer);
            continue;
        }
        if (length < 0 && errno == EINTR)
            continue;
        if (length < 0 && errno == EAGAIN)
            return;
        // A channel gone would be reported readable on every pass from now on. The controller hears
        // of it as of any lost link.
        log_channel_end(*this, length, errno);
        event_.Release();
        OnDeactivated();
        return;
    }
}
