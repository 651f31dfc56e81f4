#include "slots/rtp/rtp_slot.h"

#include "slots/rtp/rtp_driver.h"

#include "board/hw_mux.h"
#include "foundation/os/big_endian.h"
#include "foundation/os/device.h"
#include "foundation/util/ext_header.h"
#include "foundation/util/rtcp_msg.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr size_t rtp_event_size = 36;
constexpr uint32_t pd_event = 1;

// The source description's items beside the CNAME.
const char support_email[] = "support@zelmaro-quintex.example";
const char support_phone[] = "+1 555 0100";

constexpr size_t rtcp_buffer_size = 1024;

// A failed PD request: the line's text, then the system error text in double quotes.
void pd_failure(const RtpSlot& slot, const char* what, int error)
{
    std::cerr << ext::header(&slot) << what << " errno=\"" << std::strerror(error) << '"' << std::endl;
}

}  // namespace

RtpSlot::RtpSlot(int channel, Fd begun, const rtp_connection_params& record)
    : channel(channel), session(begun.dup()), params(record),
      creationRxPayload(BigEndian::get_u16(record.bytes.data(), RtpDriver::rx_payload))
{
    sessionEvent.Bind("RtpSlot::OnRtpEvent", &RtpSlot::OnRtpEvent, this);
    sessionEvent.Schedule(session, POLLIN);
}

RtpSlot::~RtpSlot()
{
    send(RTPC::BYE(BigEndian::get_u32(params.bytes.data(), RtpDriver::ssrc), "session end"));
    if (rtcpSocket)
        rtcpSocket.close();
    TonecReceiver::CleanBeforeDestroy();
    DSProcReceiver::CleanBeforeDestroy();
    sessionEvent.Release();
    if (session)
        session.close();
}

void RtpSlot::PutHeader(std::ostream& out) const { out << "rtp[" << channel << "]: "; }

void RtpSlot::IAfterCreate()
{
    OnChangeOutputStream(true);
    OnChangeInputStream(true);
}

bool RtpSlot::IBeforeDestroy()
{
    RtpDriver::Teardown(session);
    session.close();
    HwMux::instance()->Disable(channel);
    return true;
}

bool RtpSlot::IOnInputStream()
{
    if (inputGated)
        return true;
    Device::request(session, RtpDriver::start_input);
    inputStarted = true;
    return true;
}

void RtpSlot::IOnInputRelease()
{
    Device::request(session, RtpDriver::stop_input);
    inputStarted = false;
}

bool RtpSlot::Ioctl(const LGCP::IoctlParams& ioctl)
{
    using Alt = LGCP::IoctlParams;
    switch (ioctl.currentSelection()) {
    case Alt::echoSuppressor: return echoCancel(ioctl.get_echoSuppressor()->getValue());
    case Alt::activateWaitTone: activateAudibleCall(); return true;
    case Alt::deactivateWaitTone: cancelAudibleCall(); return true;
    case Alt::translateDTMF: translateDTMF(*ioctl.get_translateDTMF()); return true;
    case Alt::dtmf_params: return configureDTMF(*ioctl.get_dtmf_params());
    case Alt::dtmf_enable: return enableDTMF(ioctl.get_dtmf_enable()->getValue());
    case Alt::encoder_mode: return ChangePayload(*ioctl.get_encoder_mode(), true);
    case Alt::decoder_mode: return ChangePayload(*ioctl.get_decoder_mode(), false);
    case Alt::vad_params: return configureVAD(*ioctl.get_vad_params());
    case Alt::vad_enable: return enableVAD(ioctl.get_vad_enable()->getValue());
    case Alt::vad_disable: return disableVAD();
    case Alt::dtmf_reject_enable: return enableDTMFReject(ioctl.get_dtmf_reject_enable()->getValue());
    case Alt::sd_params: return configureSD();
    case Alt::sd_enable: return enableSD(ioctl.get_sd_enable()->getValue());
    case Alt::sd_disable: return disableSD();
    case Alt::pd_enable: return enablePD(*ioctl.get_pd_enable());
    case Alt::pd_disable: return disablePD();
    case Alt::rx_gain:
        configureRxGain(static_cast<signed char>(ioctl.get_rx_gain()->get_gainDB().getValue()));
        return true;
    case Alt::tone_filter: {
        const LGCP::ToneFilter& filter = *ioctl.get_tone_filter();
        configureToneFilter(filter.get_freq().getValue(), filter.get_enable().getValue(),
                            filter.get_duration_th_msec().getValue(), filter.get_det_level_dB().getValue());
        return true;
    }
    case Alt::selcal: translateSelcal(*ioctl.get_selcal()); return true;
    default: return false;
    }
}

void RtpSlot::tonec_event(const Hardware::TonecReceiver::Params& event)
{
    processTonecEvent(event.code, event.timestamp);
}

void RtpSlot::dsproc_vad_event(const Hardware::DSProcVADEvent& event) { processVADEvent(event.rx, event.tx); }

void RtpSlot::dsproc_bss_event(const ::dsproc_bss_event* event) { processBSSEvent(event->score); }

void RtpSlot::dsproc_sd_event(const Hardware::DSProcSDEvent& event) { processSDEvent(event.rx); }

void RtpSlot::dsproc_tone_flt_event(const dsproc_tone_event* event)
{
    processToneFltEvent(event->frequency, event->presence);
}

void RtpSlot::dsproc_flags_event(const ::dsproc_flags_event* event) { processFlagsEvent(event->flags, event->mask); }

void RtpSlot::startRTPC(Fd& socket, const sockaddr_in& peer)
{
    rtcpPeer = peer;
    if (socket.get() != rtcpSocket.get()) {
        if (rtcpSocket)
            rtcpSocket.close();
        rtcpSocket = socket.dup();
    }
    RTPC::SDES description(BigEndian::get_u32(params.bytes.data(), RtpDriver::ssrc));
    description.add(RTPC::SDES::Item::CNAME, "Zelmaro Quintex");
    description.add(RTPC::SDES::Item::EMAIL, support_email);
    description.add(RTPC::SDES::Item::PHONE, support_phone);
    send(description);
}

int RtpSlot::send(const RTPC::Msg& message)
{
    char buffer[rtcp_buffer_size];
    unsigned length = message.encode(buffer, sizeof buffer);
    if (length == 0)
        return 0;
    return static_cast<int>(sendto(rtcpSocket, buffer, length, MSG_DONTWAIT | MSG_NOSIGNAL,
                                   reinterpret_cast<const sockaddr*>(&rtcpPeer), sizeof rtcpPeer));
}

void RtpSlot::OnRtpEvent(int fd, short revents)
{
    if (!(revents & POLLIN))
        return;
    // One byte more than a record, so that a longer record does not pass for a whole one.
    std::array<uint8_t, rtp_event_size + 1> record;
    for (;;) {
        ssize_t length = ::read(fd, record.data(), record.size());
        if (length < 0) {
            if (errno != EAGAIN)
                std::cerr << ext::header(this) << "fail to read from rtp: " << std::strerror(errno) << std::endl;
            return;
        }
        if (length == 0) {
            // The device has ended: watching it further would only spin.
            std::cerr << ext::header(this) << "fail to read from rtp: end of file" << std::endl;
            sessionEvent.Release();
            return;
        }
        if (static_cast<size_t>(length) != rtp_event_size)
            continue;
        uint32_t type = BigEndian::get_u32(record.data(), 0);
        std::clog << ext::header(this) << "rtp event: "
                  << " type=" << type << std::endl;
        processRtpEvent(type, BigEndian::get_i32(record.data(), 4), BigEndian::get_i32(record.data(), 8));
    }
}

bool RtpSlot::enablePD(const LGCP::PDParams& pd)
{
    return requestPD(static_cast<uint32_t>(pd.get_timeout().getValue()));
}

bool RtpSlot::requestPD(uint32_t timeout)
{
    std::array<uint8_t, rtp_event_size> record{};
    BigEndian::put_u32(record.data(), 0, pd_event);
    BigEndian::put_u32(record.data(), 8, timeout);
    BigEndian::put_u32(record.data(), 20, timeout);
    if (Device::request_in(session, RtpDriver::enable_pd, record) < 0) {
        pd_failure(*this, "RTP SET EVENT PD fail:", errno);
        return false;
    }
    std::clog << ext::header(this) << "RTP SET EVENT PD "
              << "timeout=" << timeout << std::endl;
    pdTimeout = timeout;
    return true;
}

bool RtpSlot::disablePD()
{
    if (Device::request_value(session, RtpDriver::disable_pd, 1) < 0) {
        pd_failure(*this, "RTP RESET EVENT PD fail:", errno);
        return false;
    }
    std::clog << ext::header(this) << "RTP RESET EVENT PD" << std::endl;
    pdTimeout.reset();
    return true;
}

bool RtpSlot::restart()
{
    Fd fresh = Device::open(GetRtpDevName(), O_RDONLY | O_NONBLOCK);
    if (!fresh)
        return false;
    if (RtpDriver::Begin(fresh, params) < 0 || RtpDriver::AddChannel(fresh, channel, bssFlag) < 0) {
        fresh.close();
        return false;
    }
    RtpDriver::Teardown(session);
    session.close();
    session = fresh;
    sessionEvent.Schedule(session, POLLIN);
    if (inputStarted)
        Device::request(session, RtpDriver::start_input);
    return true;
}

uint16_t RtpSlot::translate_payload(const LGCP::CodecMode& mode) const
{
    switch (mode.getValue()) {
    case LGCP::CodecMode::alaw: return 8;
    case LGCP::CodecMode::ulaw: return 0;
    default: return creationRxPayload;
    }
}

bool RtpSlot::ChangePayload(const LGCP::CodecMode& mode, bool transmit)
{
    std::clog << ext::header(this) << "do restart RTP session (change tx payload):" << mode;
    const size_t offset = transmit ? RtpDriver::tx_payload : RtpDriver::rx_payload;
    const uint16_t kept = BigEndian::get_u16(params.bytes.data(), offset);
    const uint16_t wanted = translate_payload(mode);
    if (wanted == kept) {
        std::clog << " - Nothing to do" << std::endl;
        return true;
    }
    BigEndian::put_u16(params.bytes.data(), offset, wanted);
    if (restart()) {
        std::clog << " - OK" << std::endl;
        if (pdTimeout && !requestPD(*pdTimeout)) {
            // The new session raises no PD events.
            pdTimeout.reset();
            return false;
        }
        return true;
    }
    std::clog << std::endl;
    // The old session goes on with the old payload type.
    BigEndian::put_u16(params.bytes.data(), offset, kept);
    std::cerr << ext::header(this) << "fail to restart RTP session!" << std::endl;
    return false;
}
