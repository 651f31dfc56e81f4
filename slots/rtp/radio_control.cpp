#include "slots/rtp/radio_control.h"

#include "slots/rtp/rtp_driver.h"

#include "foundation/os/big_endian.h"
#include "foundation/os/device.h"
#include "foundation/os/net.h"
#include "foundation/reactor/clock.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <iostream>
#include <list>
#include <poll.h>
#include <unistd.h>

namespace RTPSignalling {

namespace {

constexpr uint32_t init_session = 0xC0144500;
constexpr uint32_t attach_session = 0xC0084501;
constexpr uint32_t detach_session = 0x20004502;
constexpr uint32_t packet_information = 0xC00C4503;
constexpr uint32_t set_filter = 0xC0084504;
constexpr uint32_t reset_filter = 0x20004505;

constexpr uint32_t default_interval_ms = 1000;
constexpr size_t max_prefix = 253;

}  // namespace

RadioControl::RadioControl(int channel, const rtp_ext_attach_session_params& attach, const rtp_ext_init_params& init)
    : extAttach(attach), extInit(init), channel(static_cast<unsigned long>(channel))
{
    Init(ExtSessionAttached);
}

RadioControl::RadioControl(const rtp_ext_init_params& init) : extInit(init) { Init(ExtSessionOnly); }

RadioControl::RadioControl(int channel, Fd session, const rtp_attach_session_params& attach)
    : rtp(session.dup()), rtpAttach(attach), channel(static_cast<unsigned long>(channel))
{
    Init(RtpDeviceAttached);
}

RadioControl::~RadioControl()
{
    statusTimer.reset();
    readEvent.Release();
    if (rtp)
        rtp.close();
    if (ext)
        ext.close();
}

void RadioControl::Init(RadioControlType form)
{
    type = form;
    lastActivity = Mux::milliseconds();
    statusInterval = default_interval_ms;
    filterSet = timerEnabled = trace = false;
    notify = nullptr;
    std::list<INet4::Addr> addresses;
    if (Net::ifconfig(addresses, Net::if_private) > 0)
        ownAddress = addresses.front();
    else
        ownAddress.Assign("127.0.0.1");
    readEvent.Bind("RadioControl::OnRtpExtEvent", &RadioControl::OnRtpExtEvent, this);
    RtpExtStart(true);
}

void RadioControl::OnRtpExtEvent(int, short revents)
{
    if ((revents & POLLIN) && trace)
        std::clog << GetPrefix() << "receive extension packet(s)!" << std::endl;
}

unsigned long RadioControl::ProcessRadioStatus(unsigned long, unsigned long interval) { return interval; }

bool RadioControl::RtpExtStart(bool initial)
{
    if (type == RtpDeviceAttached) {
        if (Device::request_inout(rtp, RtpDriver::attach_extension, rtpAttach.bytes) < 0) {
            std::cerr << GetPrefix() << "attach rtp session fail !!!" << std::endl;
            return false;
        }
        return true;
    }
    if (type == ExtSessionOnly && !initial)
        return true;
    readEvent.Release();
    if (ext)
        ext.close();
    const char* failure = nullptr;
    ext = Device::open(GetRtpExtDevName(), O_RDWR | O_NONBLOCK);
    if (!ext)
        failure = "create rtp_ext session fail !!!";
    else if (Device::request_inout(ext, init_session, extInit.bytes) < 0)
        failure = "init rtp_ext session fail !!!";
    else if (type == ExtSessionAttached && Device::request_inout(ext, attach_session, extAttach.bytes) < 0)
        failure = "attach rtp_ext session fail !!!";
    if (failure) {
        std::cerr << GetPrefix() << failure << std::endl;
        // Without a working session the writes fail and are counted.
        if (ext)
            ext.close();
        return false;
    }
    readEvent.Schedule(ext, POLLIN);
    // A new session accepts every sender until it is given the one that the control accepts; a
    // refused filter is asked for again at the control's next UpdateAccess.
    if (filterSet && !RequestFilter(filter)) {
        filterSet = false;
        return false;
    }
    return true;
}

bool RadioControl::RtpExtStop()
{
    if (type != ExtSessionAttached || !ext)
        return true;
    if (Device::request_in(ext, detach_session, extAttach.bytes) < 0)
        std::cerr << GetPrefix() << "detach rtp_ext session fail !!!" << std::endl;
    ext.close();
    readEvent.Release();
    return true;
}

void RadioControl::UpdateRtpSession(Fd session)
{
    if (type == ExtSessionAttached) {
        BigEndian::put_i32(extAttach.bytes.data(), 0, session.get());
    } else if (type == RtpDeviceAttached) {
        if (rtp)
            rtp.close();
        rtp = session.dup();
    }
}

void RadioControl::SetTimerEnable(bool enable)
{
    timerEnabled = enable;
    if (enable)
        SetTimer(statusInterval);
    else
        statusTimer.reset();
}

void RadioControl::SetTimer(unsigned long ms)
{
    statusTimer.set(static_cast<unsigned>(ms), &RadioControl::OnProcessStatus, this);
}

void RadioControl::OnProcessStatus(Timer*)
{
    uint32_t now = Mux::milliseconds();
    lastActivity = now;
    SetTimer(ProcessRadioStatus(now, statusInterval));
}

bool RadioControl::UpdateAccess(bool set, const in_addr& address)
{
    std::array<uint8_t, 8> record{};
    if (set) {
        BigEndian::put_u32(record.data(), 0, ntohl(address.s_addr));
        if ((filterSet && record == filter) || !RequestFilter(record))
            return false;
        filter = record;
        filterSet = true;
    } else if (filterSet) {
        if (Device::request_in(ext, reset_filter, record) < 0) {
            std::cerr << GetPrefix() << "reset filer rtp_ext session fail !!!" << std::endl;
            return false;
        }
        filter = record;
        filterSet = false;
    }
    return false;
}

bool RadioControl::RequestFilter(std::array<uint8_t, 8> record)
{
    if (Device::request_inout(ext, set_filter, record) < 0) {
        std::cerr << GetPrefix() << "set filer rtp_ext session fail !!!" << std::endl;
        return false;
    }
    return true;
}

const std::string& RadioControl::GetPrefix()
{
    Mux::timeval now;
    Mux::gettimeval(now);
    const std::string time = Mux::timevaltostring(now);
    char text[max_prefix + 1];
    if (type == ExtSessionOnly)
        std::snprintf(text, sizeof text, "rtp_ext %s:", time.c_str());
    else
        std::snprintf(text, sizeof text, "rtp_ext[%lu] %s:", channel, time.c_str());
    prefix = text;
    return prefix;
}

void RadioControl::ReadPackets(short revents)
{
    if (!(revents & POLLIN))
        return;
    if (trace)
        std::clog << GetPrefix() << "receive extension packet(s)!" << std::endl;
    bool held = false;
    uint8_t payload[max_payload];
    for (;;) {
        const int answered = Device::request_inout(ext, packet_information, packetInfo);
        if (answered > 0) {
            ++statistics.infoAnswered;
        } else if (answered < 0) {
            statistics.infoErrno = errno;
            // Nothing waits: a payload that arrives before a read now would pass for the previous
            // sender's. It is read in the next batch, with its own information.
            if (errno == EAGAIN)
                break;
            // The sender of this payload is unknown, not that of the one before.
            packetInfo.fill(0);
        }
        ssize_t length = ::read(ext, payload, sizeof payload);
        if (length <= 0) {
            if (length < 0)
                statistics.readErrno = errno;
            break;
        }
        statistics.bytesRead += static_cast<uint32_t>(length);
        int result = DecodePacket(payload, static_cast<int>(length), BigEndian::get_u32(packetInfo.data(), 0),
                                  htonl(BigEndian::get_u32(packetInfo.data(), 4)));
        if (result != 0) {
            statistics.lastDecodeError = result;
            continue;
        }
        ++statistics.decoded;
        // A payload of an unknown sender is never taken for a repeat of the held one.
        if (held && (answered < 0 || PacketDiffers()))
            HandlePacket();
        HoldPacket();
        held = true;
    }
    if (held)
        HandlePacket();
}

int RadioControl::WritePacket(const uint8_t* payload, int length)
{
    if (length < 1) {
        statistics.lastPackError = length;
        return 0;
    }
    ssize_t written = ::write(ext, payload, static_cast<size_t>(length));
    if (written > 0) {
        statistics.bytesWritten += static_cast<uint32_t>(written);
        ++statistics.written;
    } else if (written < 0) {
        statistics.writeErrno = errno;
    }
    return static_cast<int>(written);
}

}  // namespace RTPSignalling
