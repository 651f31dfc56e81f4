#include "hardware/dsproc_receiver_service.h"

#include "foundation/os/big_endian.h"
#include "foundation/os/device.h"
#include "foundation/util/ext_hex.h"
#include "foundation/util/process_wide.h"
#include "board/device_names.h"
#include "server/trace_ctl.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iostream>

namespace Hardware {

namespace {

constexpr uint32_t configure_code = 0x40146401;  // {ts, what, 12 bytes of parameters}
constexpr uint32_t enable_code = 0x400C6402;     // {ts, event id, feature mask}
constexpr uint32_t disable_code = 0x400C6403;    // {ts, 0, feature mask}
constexpr uint32_t version_code = 0x40046404;    // 0 by value; the result is the parameter version

// What a "DSPROC_CONFIGURE" configures.
constexpr uint32_t what_vad = 1;
constexpr uint32_t what_sd = 2;
constexpr uint32_t what_delays = 32;
constexpr uint32_t what_rx_gain = 64;
constexpr uint32_t what_tone_filter = 256;
constexpr size_t parameter_size = 12;

// Feature masks.
constexpr uint32_t vad_mask = 1;
constexpr uint32_t sd_mask = 2;
constexpr uint32_t bss_mask = 16;
constexpr uint32_t ng_mask = 128;
constexpr uint32_t selcal_sh_mask = 1024;
constexpr uint32_t mute_rx_mask = 4;
constexpr uint32_t mute_tx_mask = 8;
constexpr uint32_t tone_filters_mask = 256;

// The driver's parameter version that takes the controller's VAD thresholds; any other takes
// fixed words.
constexpr int vad_params_v2 = 2;

// The event record: time slot, event id, type, three payload words.
constexpr size_t event_size = 24;
enum EventType : uint32_t { vad_event = 1, sd_event = 2, bss_event = 16, tone_event = 256, flags_event = 512 };

int request(int fd, uint32_t code, unsigned ts, uint32_t id, uint32_t mask)
{
    std::array<uint8_t, 12> record;
    BigEndian::put_u32(record.data(), 0, ts);
    BigEndian::put_u32(record.data(), 4, id);
    BigEndian::put_u32(record.data(), 8, mask);
    return Device::request_in(fd, code, record);
}

bool enable_request(int fd, unsigned ts, uint32_t id, uint32_t mask, const char* name)
{
    if (request(fd, enable_code, ts, id, mask) == -1) {
        int error = errno;
        std::cerr << "DSPROC_ENABLE " << name << " fail:" << " timeslot=" << ts << " id=" << id << ErrnoText{error}
                  << std::endl;
        return false;
    }
    std::cerr << "DSPROC_ENABLE " << name << " done:" << " timeslot=" << ts << " id=" << id << std::endl;
    return true;
}

bool disable_request(int fd, unsigned ts, uint32_t mask, const char* name)
{
    if (request(fd, disable_code, ts, 0, mask) == -1) {
        int error = errno;
        std::cerr << "DSPROC_DISABLE " << name << " fail:" << " timeslot=" << ts << ErrnoText{error} << std::endl;
        return false;
    }
    std::cerr << "DSPROC_DISABLE " << name << " done:" << " timeslot=" << ts << std::endl;
    return true;
}

struct EventFields {
    uint32_t timeslot, id, type;
};

std::ostream& operator<<(std::ostream& out, const EventFields& event)
{
    return out << " timeslot=" << event.timeslot << " id=" << event.id << " type=" << event.type;
}

void trace_payload(uint32_t type, const uint8_t* record)
{
    switch (type) {
    case vad_event:
        std::clog << "dsproc vad event: " << " dir_mask=" << BigEndian::get_u32(record, 12)
                  << " vad_rx=" << BigEndian::get_i32(record, 16) << " vad_tx=" << BigEndian::get_i32(record, 20)
                  << std::endl;
        break;
    case sd_event:
        std::clog << "dsproc sd event: " << " sd_rx=" << BigEndian::get_i32(record, 12) << std::endl;
        break;
    case bss_event:
        std::clog << "dsproc bss event: " << " score=" << BigEndian::get_float(record, 12) << std::endl;
        break;
    case flags_event:
        std::clog << "dsproc flags event: " << " flags=" << ext::OutUnsignedInHex(BigEndian::get_u32(record, 12))
                  << ", mask=" << ext::OutUnsignedInHex(BigEndian::get_u32(record, 16)) << std::endl;
        break;
    }
}

}  // namespace

DSProcReceiverService* DSProcReceiverService::instance() { return &ProcessWide<DSProcReceiverService>::get(); }

DSProcReceiverService::DSProcReceiverService()
{
    m_event.Bind("DSProcReceiverService::OnEvent", &DSProcReceiverService::OnEvent, this);
    init();
}

void DSProcReceiverService::init()
{
    if (!is_open())
        open_driver(m_event, GetDSPDevName(), O_RDWR | O_NONBLOCK, "open dsproc fail, VAD proceeding disabled");
}

bool DSProcReceiverService::opened(const char* not_opened, unsigned ts)
{
    init();
    if (!is_open())
        std::cerr << not_opened << " timeslot=" << ts << std::endl;
    return is_open();
}

bool DSProcReceiverService::configure(unsigned ts, uint32_t what, const uint8_t* parameters, const char* failure)
{
    std::array<uint8_t, 8 + parameter_size> record;
    BigEndian::put_u32(record.data(), 0, ts);
    BigEndian::put_u32(record.data(), 4, what);
    std::memcpy(record.data() + 8, parameters, parameter_size);
    if (Device::request_in(m_event.fd(), configure_code, record) == -1) {
        int error = errno;
        std::cerr << failure << " timeslot=" << ts << ErrnoText{error} << std::endl;
        return false;
    }
    return true;
}

bool DSProcReceiverService::configureVAD(unsigned ts, const LGCP::VADParams& params)
{
    if (!opened("configure VAD fail: (interface not opened)", ts))
        return false;
    std::array<uint8_t, parameter_size> parameters{};
    if (Device::request_value(m_event.fd(), version_code, 0) == vad_params_v2) {
        const TERM::VADParamsV2* v2 = params.get_v2();
        if (!v2) {
            std::cerr << "DSPROC_CONFIGURE VAD: params not specified for v2: " << " timeslot=" << ts << std::endl;
            return false;
        }
        const char* request = "DSPROC_CONFIGURE VAD";
        auto voice = fit_field(v2->get_voice_th_msec().getValue(), 0, 0xFFFF, request, "voice-th-msec", ts);
        auto silence = fit_field(v2->get_silence_th_msec().getValue(), 0, 0xFFFF, request, "silence-th-msec", ts);
        auto energy = fit_field(v2->get_e_th_dB().getValue(), -128, 127, request, "e-th-dB", ts);
        BigEndian::put_u16(parameters.data(), 0, static_cast<uint16_t>(voice));
        BigEndian::put_u16(parameters.data(), 2, static_cast<uint16_t>(silence));
        BigEndian::put_u8(parameters.data(), 4, static_cast<uint8_t>(energy));
    } else {
        BigEndian::put_u32(parameters.data(), 0, 3);
        BigEndian::put_u32(parameters.data(), 4, 127);
        BigEndian::put_u32(parameters.data(), 8, 0);
    }
    if (!configure(ts, what_vad, parameters.data(), "DSPROC_CONFIGURE VAD fail:"))
        return false;
    std::clog << "DSPROC_CONFIGURE VAD" << " ts=" << ts << std::endl;
    return true;
}

bool DSProcReceiverService::configureSD(unsigned ts)
{
    if (!opened("configure SD fail: (interface not opened)", ts))
        return false;
    std::array<uint8_t, parameter_size> parameters{};
    if (!configure(ts, what_sd, parameters.data(), "DSPROC_CONFIGURE SD fail:"))
        return false;
    std::clog << "DSPROC_CONFIGURE SD" << " ts=" << ts << std::endl;
    return true;
}

bool DSProcReceiverService::configureDelays(unsigned ts, unsigned rx, unsigned tx, unsigned selcal)
{
    if (!opened("configure Delays fail: (interface not opened)", ts))
        return false;
    std::array<uint8_t, parameter_size> parameters{};
    BigEndian::put_u32(parameters.data(), 0, rx);
    BigEndian::put_u32(parameters.data(), 4, tx);
    BigEndian::put_u32(parameters.data(), 8, selcal);
    if (!configure(ts, what_delays, parameters.data(), "DSPROC_CONFIGURE DELAYS fail:"))
        return false;
    std::clog << "DSPROC_CONFIGURE DELAYS" << " ts=" << ts << " rx=" << rx << " tx=" << tx << " selcal=" << selcal
              << std::endl;
    return true;
}

bool DSProcReceiverService::configureRxGain(unsigned ts, int gain)
{
    if (!opened("Configure Rx gain fail: (interface not opened)", ts))
        return false;
    auto byte = static_cast<uint8_t>(fit_field(gain, -128, 127, "DSPROC_CONFIGURE RX GAIN", "gain_dB", ts));
    std::array<uint8_t, parameter_size> parameters{};
    BigEndian::put_u8(parameters.data(), 0, byte);
    if (!configure(ts, what_rx_gain, parameters.data(), "DSPROC_CONFIGURE Rx Gain fail:"))
        return false;
    std::clog << "DSPROC_CONFIGURE RX GAIN" << " ts=" << ts << " gain_dB=" << unsigned{byte} << std::endl;
    return true;
}

bool DSProcReceiverService::configureToneFilter(unsigned ts, unsigned freq, unsigned enable, int duration_ms,
                                                int level_dB)
{
    if (!opened("Configure Tone Filter fail: (interface not opened)", ts))
        return false;
    const char* request = "DSPROC_CONFIGURE TONE FILTER";
    auto frequency = static_cast<uint16_t>(fit_field(freq, 0, 0xFFFF, request, "freq", ts));
    auto enabled = static_cast<uint8_t>(fit_field(enable, 0, 0xFF, request, "en", ts));
    auto duration = static_cast<uint16_t>(fit_field(duration_ms, 0, 0xFFFF, request, "dur_th_msec", ts));
    auto level = static_cast<int8_t>(fit_field(level_dB, -128, 127, request, "det_lvl_dB", ts));
    std::array<uint8_t, parameter_size> parameters{};
    BigEndian::put_u16(parameters.data(), 0, frequency);
    BigEndian::put_u8(parameters.data(), 2, enabled);
    BigEndian::put_u16(parameters.data(), 4, duration);
    BigEndian::put_u8(parameters.data(), 6, static_cast<uint8_t>(level));
    if (!configure(ts, what_tone_filter, parameters.data(), "DSPROC_CONFIGURE Tone Filter fail:"))
        return false;
    std::clog << "DSPROC_CONFIGURE TONE FILTER" << " ts=" << ts << " freq=" << frequency << ", en=" << unsigned{enabled}
              << ", dur_th_msec=" << duration << ", det_lvl_dB=" << int{level} << std::endl;
    return true;
}

void DSProcReceiverService::disableToneAll(DSProcReceiver& receiver)
{
    unsigned ts = receiver.timeslot();
    if (!opened("Disable All Tone fail: (interface not opened)", ts))
        return;
    if (request(m_event.fd(), disable_code, ts, 0, tone_filters_mask) == -1) {
        int error = errno;
        std::cerr << "Disable All Tone fail:" << " timeslot=" << ts << ErrnoText{error} << std::endl;
        return;
    }
    std::clog << "DISABLE ALL TONE done: " << " ts=" << ts << std::endl;
}

bool DSProcReceiverService::switch_feature(DSProcReceiver& receiver, DSProcReceiver::Feature& feature, uint32_t mask,
                                           const char* name, bool on)
{
    if (feature.state == (on ? 1 : 0))
        return true;
    unsigned ts = receiver.timeslot();
    if (on) {
        uint32_t id = counter_.next();
        if (!enable_request(m_event.fd(), ts, id, mask, name))
            return false;
        feature = {1, id};
        return true;
    }
    if (!disable_request(m_event.fd(), ts, mask, name))
        return false;
    feature.state = 0;
    return true;
}

bool DSProcReceiverService::enableVAD(DSProcReceiver& receiver, bool on)
{
    return switch_feature(receiver, receiver.vad_, vad_mask, "VAD", on);
}

bool DSProcReceiverService::enableBSS(DSProcReceiver& receiver, bool on)
{
    return switch_feature(receiver, receiver.bss_, bss_mask, "BSS", on);
}

bool DSProcReceiverService::enableNG(DSProcReceiver& receiver, bool on)
{
    return switch_feature(receiver, receiver.ng_, ng_mask, "NG", on);
}

bool DSProcReceiverService::enableSelcalSh(DSProcReceiver& receiver, bool on)
{
    return switch_feature(receiver, receiver.selcal_sh_, selcal_sh_mask, "SELCAL_SH", on);
}

bool DSProcReceiverService::enableSD(DSProcReceiver& receiver, bool on)
{
    return switch_feature(receiver, receiver.sd_, sd_mask, "SD", on);
}

bool DSProcReceiverService::enableMute(DSProcReceiver& receiver, bool rx, bool tx)
{
    if (receiver.mute_rx_ == (rx ? 1 : 0) && receiver.mute_tx_ == (tx ? 1 : 0))
        return true;
    unsigned ts = receiver.timeslot();
    if (!rx && !tx) {
        if (!disable_request(m_event.fd(), ts, mute_rx_mask | mute_tx_mask, "MUTE"))
            return false;
        receiver.mute_rx_ = receiver.mute_tx_ = 0;
        return true;
    }
    uint32_t id = counter_.next();
    if (!enable_request(m_event.fd(), ts, id, (rx ? mute_rx_mask : 0) | (tx ? mute_tx_mask : 0), "MUTE"))
        return false;
    receiver.mute_id_ = id;
    receiver.mute_rx_ = rx;
    receiver.mute_tx_ = tx;
    return true;
}

void DSProcReceiverService::OnEvent(int fd, short revents)
{
    read_records(m_event, fd, revents, event_size, "dsproc", [this](const uint8_t* record) { dispatch(record); });
}

void DSProcReceiverService::dispatch(const uint8_t* record)
{
    EventFields event{BigEndian::get_u32(record, 0), BigEndian::get_u32(record, 4), BigEndian::get_u32(record, 8)};
    if (traces.events) {
        std::clog << "dsproc event: " << event << std::endl;
        trace_payload(event.type, record);
    }

    // VAD and SD events carry the id of the enable they were raised under: the receiver that
    // enabled the feature under that id takes them. The others go to the oldest receiver.
    DSProcReceiver::Feature DSProcReceiver::*switched = event.type == vad_event ? &DSProcReceiver::vad_
                                                       : event.type == sd_event ? &DSProcReceiver::sd_
                                                                                : nullptr;
    DSProcReceiver* first = nullptr;
    DSProcReceiver* owner = nullptr;
    for (Containers::CyclicList* node = dsproc_receivers.next(); node != &dsproc_receivers; node = node->next()) {
        DSProcReceiver* receiver = static_cast<DSProcReceiver*>(node);
        if (receiver->timeslot() != event.timeslot)
            continue;
        if (!first)
            first = receiver;
        const DSProcReceiver::Feature* feature = switched ? &(receiver->*switched) : nullptr;
        if (feature && feature->state != 0 && feature->id == event.id) {
            owner = receiver;
            break;
        }
    }
    if (!first) {
        if (traces.events)
            std::cerr << "receive dsproc event from unknown timeslot " << event.timeslot << std::endl;
        return;
    }

    uint32_t d0 = BigEndian::get_u32(record, 12);
    uint32_t d1 = BigEndian::get_u32(record, 16);
    switch (event.type) {
    case vad_event:
        if (owner) {
            int32_t rx = (d0 & 1) ? static_cast<int32_t>(d1) : -1;
            int32_t tx = (d0 & 2) ? BigEndian::get_i32(record, 20) : -1;
            owner->dsproc_vad_event({rx, tx});
        } else if (traces.events && first->vad_.state == 0) {
            std::clog << "ignore spurious dsproc vad event (dsproc disabled): " << event << std::endl;
        } else if (traces.events) {
            std::clog << "ignore spurious dsproc vad event: " << event << " rid=" << first->vad_.id << std::endl;
        }
        break;
    case sd_event:
        if (owner)
            owner->dsproc_sd_event({static_cast<int32_t>(d0)});
        break;
    case bss_event:
        if (first->bss_.state == 0) {
            if (traces.events)
                std::clog << "ignore spurious dsproc bss event (dsproc disabled): " << event << std::endl;
            break;
        }
        {
            const ::dsproc_bss_event payload{BigEndian::get_float(record, 12)};
            first->dsproc_bss_event(&payload);
        }
        break;
    case tone_event: {
        const dsproc_tone_event payload{d0, BigEndian::get_u8(record, 16)};
        first->dsproc_tone_flt_event(&payload);
        break;
    }
    case flags_event: {
        const ::dsproc_flags_event payload{d0, d1};
        first->dsproc_flags_event(&payload);
        break;
    }
    }
}

}  // namespace Hardware
