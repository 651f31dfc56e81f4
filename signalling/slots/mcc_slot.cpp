#include "signalling/slots/mcc_slot.h"

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
    // The controller is told success whatever the channel makes of it, so a loss is at least logged.
    if (write(event_.fd(), data.data(), data.size()) < 0) {
        int error = errno;
        std::cerr << ext::header(this) << "write fail: " << std::strerror(error) << std::endl;
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
        // The driver never ends a channel: one that does is gone, and would be reported readable
        // on every pass from now on.
        if (length == 0) {
            std::cerr << ext::header(this) << "end of file, channel closed" << std::endl;
            event_.Release();
        }
        return;
    }
}
