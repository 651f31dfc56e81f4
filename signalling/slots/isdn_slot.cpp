#include "signalling/slots/isdn_slot.h"

#include "foundation/util/ext_header.h"
#include "hardware/frame_read.h"
#include "server/trace_ctl.h"
#include "signalling/slots/channel_end.h"
#include "signalling/slots/stack_user_data.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <poll.h>
#include <unistd.h>

IsdnSlot::IsdnSlot(Fd fd, int channel, ISDN::LAPD* link, const char* event_name) : channel(channel), link_(link)
{
    link->listener = this;
    link->channel = this;
    event_.Bind(event_name, &IsdnSlot::OnEvent, this);
    event_.Schedule(fd, POLLIN | POLLOUT);
    add_protocol_tail(link);
}

void IsdnSlot::PutHeader(std::ostream& out) const { out << "isdn-slot[" << channel << "]: "; }

bool IsdnSlot::IActivate(const TERM::TermActivateParams&)
{
    if (refused_without_channel(*this, !is_open(), "activate refused"))
        return false;
    activate();
    return true;
}

bool IsdnSlot::IDeactivate()
{
    deactivate();
    return true;
}

bool IsdnSlot::IUserData(const std::vector<char>& data)
{
    if (refused_without_channel(*this, !is_open(), "userData dropped"))
        return false;
    send_user_data(*this, *this, data);
    return true;
}

void IsdnSlot::OnEvent(int fd, short revents)
{
    // A hang-up or error is read too, so that a channel whose driver went away is let go.
    if (revents & (POLLIN | POLLHUP | POLLERR)) {
        Packet frame;
        ssize_t length = read_frame(fd, frame);
        if (length > 0 && frame.is_null()) {
            count_dropped_frame(*this, rx_dropped_);
        } else if (length > 0) {
            if (traces.isdn)
                std::clog << ext::header(this) << ": rx " << frame.text() << std::endl;
            receive(frame);
        } else if (length == 0 || (errno != EAGAIN && errno != EINTR)) {
            lose_channel(length, errno);
            return;
        }
    }
    if ((revents & POLLOUT) && !ready_ && is_open()) {
        ready_ = true;
        event_.Schedule(event_.fd(), POLLIN);
        link_->on_hdlc_ready();
    }
}

bool IsdnSlot::hdlc_transmit(Packet& frame)
{
    if (frame.is_null() || frame.length() == 0)
        return true;
    if (!is_open())
        return false;
    for (;;) {
        if (write(event_.fd(), frame.data(), frame.length()) >= 0) {
            if (traces.isdn)
                std::clog << ext::header(this) << ": tx " << frame.text() << std::endl;
            return true;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN) {
            ready_ = false;
            event_.Schedule(event_.fd(), POLLIN | POLLOUT);
        } else {
            int error = errno;
            std::cerr << ext::header(this) << "write error: " << std::strerror(error) << std::endl;
        }
        return false;
    }
}

void IsdnSlot::lose_channel(ssize_t length, int error)
{
    // A channel gone would be reported readable on every pass from now on.
    log_channel_end(*this, length, error);
    event_.Release();
    // The link goes down without frames; the controller hears of it here, once, and not again
    // from the link.
    deactivate();
    UpdateISDN_Statistics();
    OnDeactivated();
}

void IsdnSlot::UpdateISDN_Statistics()
{
    LGCP::IoctlResponse response;
    if (link_->GetInfo(response.select_isdnLinkInfo()))
        OnIoctlResponse(response);
}

void IsdnSlot::on_activated(Protocol*)
{
    UpdateISDN_Statistics();
    OnActivated();
}

void IsdnSlot::on_deactivated(Protocol*, Smart_pointer<Internal_protocol_status>)
{
    if (!is_open())
        return;
    UpdateISDN_Statistics();
    OnDeactivated();
}

void IsdnSlot::on_message(Packet& p)
{
    OnUserData(std::vector<char>(p.data(), p.data() + p.length()));
}
