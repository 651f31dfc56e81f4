#include "server/slot.h"

#include "server/slot_connection.h"
#include "server/slot_factory.h"
#include "server/slots.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <iomanip>
#include <iostream>

namespace {

// Tone detector codes.
constexpr uint32_t ced_code = 17;
constexpr uint32_t cng_code = 18;
constexpr uint32_t last_dtmf_code = 127;
constexpr int32_t last_iva_code = 20;
constexpr int32_t iva_ringoff = 21;

// Bits of the DSP flags event.
constexpr uint32_t vad_rx_flag = 1u << 29;
constexpr uint32_t vad_tx_flag = 1u << 30;
constexpr uint32_t selcal_flag = 1u << 31;

constexpr uint32_t rtp_pd_event = 1;

// The BSS score as text: "%4.6f", at most this many characters.
constexpr size_t score_length = 30;

}  // namespace

bool Slot::IHwConnectTransmitter(Slot& destination) { return MuxConnect(*this, destination); }

bool Slot::IHwConnectReceiver(Slot& source) { return MuxConnect(source, *this); }

bool Slot::IHwDisconnectTransmitter(Slot& destination) { return MuxDisconnect(destination); }

bool Slot::IHwDisconnectReceiver(Slot&) { return MuxDisconnect(*this); }

void Slot::Put(std::ostream& out) const
{
    if (id < Slots::slot_count)
        out << std::setw(2) << std::setfill('0') << id << std::setfill(' ');
    else if (id == no_id)
        out << "na";
    else
        out << 'i' << id;
    out << ':' << GetName();
}

std::ostream& operator<<(std::ostream& out, const Slot& slot)
{
    slot.Put(out);
    return out;
}

void Slot::SendSignal(const LGCP::Signal& signal) { Slots::instance()->SendSignal(id, signal); }

void Slot::RefuseCommand(LGCP::ErrorCause::NamedNumber cause) { Slots::instance()->Error(cause); }

void Slot::OnTonecEvent(const LGCP::TonecEvent& event)
{
    LGCP::Signal signal;
    signal.select_tonec() = event;
    SendSignal(signal);
}

void Slot::OnNumber(const std::string& number)
{
    LGCP::Signal signal;
    signal.select_number().setValue(number);
    SendSignal(signal);
}

void Slot::OnModem(const TERM::ModemProceeding& proceeding)
{
    LGCP::Signal signal;
    signal.select_modemProceeding() = proceeding;
    SendSignal(signal);
}

void Slot::OnModem(const TERM::ModemInformation& information)
{
    LGCP::Signal signal;
    signal.select_modemInformation() = information;
    SendSignal(signal);
}

void Slot::OnActivated()
{
    LGCP::Signal signal;
    signal.select_activated();
    SendSignal(signal);
}

void Slot::OnDeactivated()
{
    LGCP::Signal signal;
    signal.select_deactivated().setValue(LGCP::DeactivateCause::networkError);
    SendSignal(signal);
}

void Slot::OnAbort(int code)
{
    LGCP::Signal signal;
    signal.select_abort().setValue(code);
    SendSignal(signal);
}

void Slot::OnUserData(const std::vector<char>& data)
{
    LGCP::Signal signal;
    signal.select_userData().getValue() = data;
    SendSignal(signal);
}

void Slot::OnIoctlResponse(const LGCP::IoctlResponse& response)
{
    LGCP::Signal signal;
    signal.select_ioctl() = response;
    SendSignal(signal);
}

void Slot::OnRtpRadioEvent(const TERM::RtpRadioRequest& request)
{
    LGCP::Signal signal;
    signal.select_rtpExt() = request;
    SendSignal(signal);
}

void Slot::OnVADEvent(const LGCP::VADEvent& event)
{
    LGCP::Signal signal;
    signal.select_vad() = event;
    SendSignal(signal);
}

void Slot::OnProtoLemzEvent(const LEMZGW::ProtoLemzPackets& packets)
{
    LGCP::Signal signal;
    signal.select_protoLemz() = packets;
    SendSignal(signal);
}

void Slot::OnSDEvent(const LGCP::SDEvent& event)
{
    LGCP::Signal signal;
    signal.select_sd() = event;
    SendSignal(signal);
}

void Slot::OnRtpEvent(const LGCP::RtpEvent& event)
{
    LGCP::Signal signal;
    signal.select_rtp() = event;
    SendSignal(signal);
}

void Slot::OnChangeInputStream(bool open)
{
    if (open == inputStream)
        return;
    LGCP::Signal signal;
    LGCP::Stream& stream = signal.select_receiver();
    if (open) {
        stream.select_active().setValue(IGetReceiveChannel());
        inputStream = true;
    } else {
        stream.select_inactive();
        Disconnect(*this);
        inputStream = false;
    }
    SendSignal(signal);
}

void Slot::OnChangeOutputStream(bool open)
{
    if (open == outputStream)
        return;
    LGCP::Signal signal;
    LGCP::Stream& stream = signal.select_transmitter();
    if (open) {
        stream.select_active().setValue(IGetTransmitChannel());
        outputStream = true;
    } else {
        stream.select_inactive();
        for (size_t n = listeners.size(); n > 0; --n) {
            if (listeners.empty()) {
                std::cerr << "mux: internal error: expected slots not exists." << std::endl;
                break;
            }
            Disconnect(*listeners.front());
        }
        outputStream = false;
    }
    SendSignal(signal);
}

void Slot::processTonecEvent(uint32_t code, uint32_t timestamp)
{
    LGCP::TonecEvent event;
    event.set_timestamp(static_cast<int>(timestamp));
    LGCP::TonecCode& tone = event.get_event();
    if (code == ced_code) {
        tone.select_ced();
    } else if (code == cng_code) {
        tone.select_cng();
    } else if (code <= last_dtmf_code) {
        tone.select_dtmf() = code;
    } else {
        int32_t iva = static_cast<int32_t>(code) >> 8;
        if (iva >= 1 && iva <= last_iva_code) {
            tone.select_iva().select_code() = static_cast<unsigned>(iva);
        } else if (iva == iva_ringoff) {
            tone.select_iva().select_ringoff();
        } else {
            std::cerr << "bad DTMF code, ignored." << std::endl;
            return;
        }
    }
    OnTonecEvent(event);
}

void Slot::processToneGenEvent()
{
    LGCP::TonecEvent event;
    event.set_timestamp(0);
    event.get_event().select_dtmfDone();
    OnTonecEvent(event);
}

void Slot::processToneFltEvent(uint32_t frequency, uint8_t presence)
{
    LGCP::TonecEvent event;
    event.set_timestamp(0);
    LGCP::TonePresence& tone = event.get_event().select_tone_presence();
    tone.set_freq(static_cast<int>(frequency));
    tone.set_presence(presence != 0);
    OnTonecEvent(event);
}

void Slot::processVADEvent(int32_t rx, int32_t tx)
{
    if (rx < 0 && tx < 0) {
        std::cerr << "bad VAD event, ignored." << std::endl;
        return;
    }
    LGCP::VADEvent event;
    if (rx >= 0)
        event.set_vad_rx(rx != 0);
    if (tx >= 0)
        event.set_vad_tx(tx != 0);
    OnVADEvent(event);
}

void Slot::processSDEvent(int32_t rx)
{
    if (rx < 0) {
        std::cerr << "bad SD event, ignored." << std::endl;
        return;
    }
    LGCP::SDEvent event;
    event.set_sd_rx(rx != 0);
    OnSDEvent(event);
}

void Slot::processFlagsEvent(uint32_t flags, uint32_t mask)
{
    if (mask & (vad_rx_flag | vad_tx_flag)) {
        LGCP::VADEvent event;
        if (mask & vad_rx_flag)
            event.set_vad_rx((flags & vad_rx_flag) != 0);
        if (mask & vad_tx_flag)
            event.set_vad_tx((flags & vad_tx_flag) != 0);
        OnVADEvent(event);
    }
    if (mask & selcal_flag) {
        LGCP::Signal signal;
        signal.select_selcal().set_in_progress((flags & selcal_flag) != 0);
        SendSignal(signal);
    }
}

void Slot::processBSSEvent(float score)
{
    char text[score_length + 1];
    std::snprintf(text, sizeof text, "%4.6f", score);
    LGCP::Signal signal;
    signal.select_bss().set_score(text);
    SendSignal(signal);
}

void Slot::processRtpEvent(uint32_t type, int32_t value, int32_t timeout)
{
    if (type != rtp_pd_event)
        return;
    LGCP::RtpEvent event;
    LGCP::RtpPDEvent& pd = event.select_pd();
    pd.set_value(value);
    pd.set_timeout(timeout);
    OnRtpEvent(event);
}

void Slot::LogicalConnect(Slot& from)
{
    source = &from;
    std::vector<Slot*>& list = from.listeners;
    list.insert(std::lower_bound(list.begin(), list.end(), this, std::less<Slot*>()), this);
    list.erase(std::unique(list.begin(), list.end()), list.end());
}

void Slot::LogicalDisconnect()
{
    if (!source)
        return;
    std::vector<Slot*>& list = source->listeners;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    source = nullptr;
}

bool Slot::BeforeDestroy()
{
    if (!IBeforeDestroy())
        return false;
    if (factory)
        factory->Remove(this);
    else
        std::cerr << "slot: internal error!!! BeforeDestroy() not connected to factory" << std::endl;
    return true;
}

void Slot::on_release()
{
    if (!destroying)
        return;
    if (factory)
        factory->Remove(this);
    Slots::instance()->on_release(this);
}
