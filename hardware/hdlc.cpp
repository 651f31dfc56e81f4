#include "hardware/hdlc.h"

#include "foundation/os/big_endian.h"
#include "foundation/os/device.h"
#include "foundation/util/ext_header.h"
#include "board/hw_mux.h"
#include "hardware/frame_read.h"
#include "server/trace_ctl.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr const char* device = "/dev/mcc/ctl";
constexpr uint32_t allocate_code = 0x40144D00;  // the allocation record below
constexpr uint32_t timeslot_code = 0x20004D02;  // no argument; the result is the channel's TDM time slot

// The controller's channel type per mode: SS7, HDLC data (primary-rate D), BRI (basic-rate D).
constexpr uint32_t channel_types[] = {3, 0, 1};
constexpr int32_t basic_rate_mode = 2;

class Unbound : public HDLC::Notify {
public:
    void on_hdlc_receive(Packet&) override {}
    void on_hdlc_error(Cause::Type) override {}
    void on_hdlc_ready() override {}
};

HDLC::Notify* unbound()
{
    static Unbound nobody;
    return &nobody;
}

}  // namespace

HDLC::HDLC() : notify(unbound()) {}

void HDLC::unbind() { notify = unbound(); }

void HDLC::PutHeader(std::ostream& out) const { out << "hdlc [" << id << "/" << timeslot << "]: "; }

bool HDLC::activate()
{
    deactivate();
    txSU = txDiscard = txError = txOverflow = rxSU = 0;
    if (mode < 0 || mode > basic_rate_mode) {
        std::cerr << ext::header(this) << "unknown mode " << mode << std::endl;
        return false;
    }
    Fd fd = Device::open(device, O_RDWR | O_NONBLOCK);
    if (!fd) {
        int error = errno;
        std::cerr << ext::header(this) << "fail to open MCC device: " << std::strerror(error) << std::endl;
        return false;
    }
    bool opened = open_channel(fd);
    fd.close();
    return opened;
}

bool HDLC::open_channel(int fd)
{
    std::array<uint8_t, 20> record;
    BigEndian::put_u32(record.data(), 0, channel_types[mode]);
    BigEndian::put_u32(record.data(), 4, 512);
    BigEndian::put_u32(record.data(), 8, 0);
    BigEndian::put_u32(record.data(), 12, 1);
    BigEndian::put_u32(record.data(), 16, 4);
    if (Device::request_in(fd, allocate_code, record) == -1) {
        int error = errno;
        std::cerr << ext::header(this) << "MCC_ALLOCATE fail: " << std::strerror(error) << std::endl;
        return false;
    }
    int ts = Device::request(fd, timeslot_code);
    if (ts < 0) {
        int error = errno;
        std::cerr << ext::header(this) << "MCC_TIMESLOT fail: " << std::strerror(error) << std::endl;
        return false;
    }
    // The switch logs its own failures; the channel works without the patches as far as it can.
    HwMux* mux = HwMux::instance();
    mux->Connect(ts, mode == basic_rate_mode ? tdm_b : tdm_a);
    mux->Connect(tdm_a, ts);

    m_event.Bind("HDLC::OnEvent", &HDLC::on_event, this);
    m_event.Schedule(fd, POLLIN | POLLOUT);
    ready = false;
    if (traces.hdlc)
        std::clog << ext::header(this) << "activated" << std::endl;
    return true;
}

void HDLC::deactivate()
{
    m_event.Release();
    ready = false;
    if (traces.hdlc)
        std::clog << ext::header(this) << "deactivated" << std::endl;
}

void HDLC::on_event(int, short revents)
{
    // A hang-up or error is read too, so that a channel whose driver went away is closed and
    // reported instead of being polled for ever.
    if (revents & (POLLIN | POLLHUP | POLLERR))
        do_read();
    if ((revents & POLLOUT) && !ready && is_open()) {
        ready = true;
        m_event.Schedule(m_event.fd(), POLLIN);
        notify->on_hdlc_ready();
    }
}

void HDLC::do_read()
{
    if (traces.hdlc)
        std::clog << ext::header(this) << "do_read" << std::endl;
    if (!is_open()) {
        std::clog << ext::header(this) << "do_read: !m_event.IsActive()" << std::endl;
        return;
    }
    for (;;) {
        Packet frame;
        ssize_t length = read_frame(m_event.fd(), frame);
        if (length > 0 && frame.is_null()) {
            count_dropped_frame(*this, rxDropped);
            continue;
        }
        if (length > 0) {
            if (traces.hdlc)
                std::clog << "HDLC[" << id << "]: rx " << frame.text() << std::endl;
            ++rxSU;
            notify->on_hdlc_receive(frame);
            // The receiver may have closed the channel.
            if (!is_open())
                return;
            continue;
        }
        if (length < 0 && errno == EINTR)
            continue;
        if (length < 0 && errno == EAGAIN)
            return;
        // The driver never ends a channel; an end of file means it is gone, like a failed read.
        const char* reason = length < 0 ? std::strerror(errno) : "end of file";
        std::cerr << ext::header(this) << "read error: " << reason << std::endl;
        deactivate();
        notify->on_hdlc_error(Notify::Cause::read_failed);
        return;
    }
}

bool HDLC::hdlc_transmit(Packet& frame)
{
    if (frame.is_null() || frame.length() == 0)
        return true;
    if (!is_open()) {
        ++txDiscard;
        return false;
    }
    if (traces.hdlc)
        std::clog << "HDLC[" << id << "]: tx " << frame.text() << std::endl;
    for (;;) {
        if (write(m_event.fd(), frame.data(), frame.length()) >= 0) {
            ++txSU;
            return true;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN) {
            ready = false;
            m_event.Schedule(m_event.fd(), POLLIN | POLLOUT);
            return false;
        }
        int error = errno;
        std::cerr << ext::header(this) << "write error: " << std::strerror(error) << std::endl;
        ++txError;
        return false;
    }
}
