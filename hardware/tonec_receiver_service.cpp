#include "hardware/tonec_receiver_service.h"

#include "foundation/os/big_endian.h"
#include "foundation/os/device.h"
#include "foundation/util/process_wide.h"
#include "board/device_names.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iostream>

namespace Hardware {

namespace {

constexpr uint32_t configure_detector_code = 0x40144202;  // {ts, twist, ratio, silence, noise}
constexpr uint32_t enable_detector_code = 0x40084203;     // {ts, event id}
constexpr uint32_t disable_detector_code = 0x40044204;    // ts by value
constexpr uint32_t dial_code = 0x400C4205;                // {ts, u16 freq1, freq2, level1, level2}
constexpr uint32_t lms_on_code = 0x40044206;              // ts by value, as the five below
constexpr uint32_t lms_off_code = 0x40044207;
constexpr uint32_t rejection_enable_code = 0x40044209;
constexpr uint32_t rejection_disable_code = 0x4004420A;
constexpr uint32_t iva_enable_code = 0x4004420B;
constexpr uint32_t iva_disable_code = 0x4004420C;
constexpr uint32_t iva_configure_code = 0x4008420D;  // {ts, detection level in dB}
constexpr uint32_t selcal_dial_code = 0x400C420E;    // {ts, u16 amplitude, four signs, two zero bytes}

// The event record: code, time slot, timestamp, event id.
constexpr size_t event_size = 16;

constexpr int default_selcal_amplitude = 12000;
constexpr size_t selcal_signs = 4;

struct EventFields {
    uint32_t code, timeslot, timestamp, id;
};

std::ostream& operator<<(std::ostream& out, const EventFields& event)
{
    return out << " timestamp=" << event.timestamp << " timeslot=" << event.timeslot << " code=" << event.code
               << " id=" << event.id;
}

uint16_t u16_field(int value, const char* request, const char* field, unsigned ts)
{
    return static_cast<uint16_t>(fit_field(value, 0, 0xFFFF, request, field, ts));
}

}  // namespace

TonecReceiverService* TonecReceiverService::instance() { return &ProcessWide<TonecReceiverService>::get(); }

TonecReceiverService::TonecReceiverService()
{
    m_event.Bind("TonecReceiverService::OnEvent", &TonecReceiverService::OnEvent, this);
    init();
}

void TonecReceiverService::init()
{
    if (!is_open())
        open_driver(m_event, GetDTMFDevName(), O_RDONLY | O_NONBLOCK, "open tonec fail, DTMF proceeding disabled");
}

bool TonecReceiverService::configureDTMF(unsigned ts, const LGCP::DTMFParams& params)
{
    init();
    if (!is_open()) {
        std::cerr << "configure DTMF fail: (interface not opened)" << " timeslot=" << ts << std::endl;
        return false;
    }
    uint32_t twist = params.get_threshold().get_twist().getValue();
    uint32_t ratio = params.get_threshold().get_ratio().getValue();
    uint32_t noise = params.get_threshold().get_noise().getValue();
    uint32_t silence = params.get_level().get_silence().getValue();
    std::array<uint8_t, 20> record;
    BigEndian::put_u32(record.data(), 0, ts);
    BigEndian::put_u32(record.data(), 4, twist);
    BigEndian::put_u32(record.data(), 8, ratio);
    BigEndian::put_u32(record.data(), 12, silence);
    BigEndian::put_u32(record.data(), 16, noise);
    if (Device::request_in(m_event.fd(), configure_detector_code, record) == -1) {
        int error = errno;
        std::cerr << "DTMF_CONFIGURE_DETECTOR fail:" << " timeslot=" << ts << ErrnoText{error} << std::endl;
        return false;
    }
    std::clog << "DTMF_CONFIGURE_DETECTOR" << " ts=" << ts << " twist=" << twist << " ratio=" << ratio
              << " noise=" << noise << " silence=" << silence << std::endl;
    return true;
}

bool TonecReceiverService::enableDTMF(TonecReceiver& receiver, bool on)
{
    if (receiver.enabled == on)
        return true;
    unsigned ts = receiver.timeslot();
    if (on) {
        uint32_t id = counter_.next();
        std::array<uint8_t, 8> record;
        BigEndian::put_u32(record.data(), 0, ts);
        BigEndian::put_u32(record.data(), 4, id);
        if (Device::request_in(m_event.fd(), enable_detector_code, record) == -1) {
            int error = errno;
            std::cerr << "DTMF_ENABLE_DETECTOR fail:" << " timeslot=" << ts << " id=" << id << ErrnoText{error}
                      << std::endl;
            return false;
        }
        receiver.id = id;
        receiver.enabled = true;
        std::cerr << "DTMF_ENABLE_DETECTOR done:" << " timeslot=" << ts << " id=" << id << std::endl;
        return true;
    }
    if (Device::request_value(m_event.fd(), disable_detector_code, ts) == -1) {
        int error = errno;
        std::cerr << "DTMF_DISABLE_DETECTOR fail:" << " timeslot=" << ts << ErrnoText{error} << std::endl;
        return false;
    }
    receiver.enabled = false;
    std::cerr << "DTMF_DISABLE_DETECTOR done:" << " timeslot=" << ts << std::endl;
    return true;
}

bool TonecReceiverService::switch_by_value(uint32_t code, const char* request, const char* variant, unsigned ts)
{
    if (Device::request_value(m_event.fd(), code, ts) == -1) {
        int error = errno;
        std::cerr << request << variant << " fail:" << " timeslot=" << ts << ErrnoText{error} << std::endl;
        return false;
    }
    std::clog << request << variant << "[" << ts << "] ok" << std::endl;
    return true;
}

bool TonecReceiverService::echoCancel(unsigned ts, bool on)
{
    return on ? switch_by_value(lms_on_code, "CHANNEL_LMS", "_ON", ts)
              : switch_by_value(lms_off_code, "CHANNEL_LMS", "_OFF", ts);
}

bool TonecReceiverService::enableDTMFReject(unsigned ts, bool on)
{
    return on ? switch_by_value(rejection_enable_code, "DTMF_REJECTION", "_ENABLE", ts)
              : switch_by_value(rejection_disable_code, "DTMF_REJECTION", "_DISABLE", ts);
}

bool TonecReceiverService::enableIVA(TonecReceiver& receiver, bool on)
{
    unsigned ts = receiver.timeslot();
    return on ? switch_by_value(iva_enable_code, "IVA_DETECTOR", "_ENABLE", ts)
              : switch_by_value(iva_disable_code, "IVA_DETECTOR", "_DISABLE", ts);
}

bool TonecReceiverService::enableToneGenerator(unsigned ts, int freq1, int freq2, int level1, int level2)
{
    std::array<uint8_t, 12> record;
    BigEndian::put_u32(record.data(), 0, ts);
    BigEndian::put_u16(record.data(), 4, u16_field(freq1, "DTMF_DIAL", "freq1", ts));
    BigEndian::put_u16(record.data(), 6, u16_field(freq2, "DTMF_DIAL", "freq2", ts));
    BigEndian::put_u16(record.data(), 8, u16_field(level1, "DTMF_DIAL", "level1", ts));
    BigEndian::put_u16(record.data(), 10, u16_field(level2, "DTMF_DIAL", "level2", ts));
    if (Device::request_in(m_event.fd(), dial_code, record) == -1) {
        int error = errno;
        std::cerr << "DTMF_DIAL fail:" << " timeslot=" << ts << ErrnoText{error} << std::endl;
        return false;
    }
    return true;
}

bool TonecReceiverService::configureIVA(TonecReceiver& receiver, const LGCP::IVAParams& params)
{
    unsigned ts = receiver.timeslot();
    init();
    if (!is_open()) {
        std::cerr << "configure IVA fail: (interface not opened)" << " timeslot=" << ts << std::endl;
        return false;
    }
    int level = params.get_det_lvl_dB().getValue();
    std::array<uint8_t, 8> record;
    BigEndian::put_u32(record.data(), 0, ts);
    BigEndian::put_i32(record.data(), 4, level);
    if (Device::request_in(m_event.fd(), iva_configure_code, record) == -1) {
        int error = errno;
        std::cerr << "IVA_CONFIGURE_DETECTOR fail:" << " timeslot=" << ts << ErrnoText{error} << std::endl;
        return false;
    }
    std::clog << "IVA_CONFIGURE_DETECTOR" << " ts=" << ts << " det_lvl_dB=" << level << std::endl;
    return true;
}

void TonecReceiverService::translateSelcal(TonecReceiver& receiver, const TERM::SelcalCommand& command)
{
    unsigned ts = receiver.timeslot();
    const std::string& signs = command.get_signs().getValue();
    if (signs.size() < selcal_signs) {
        std::cerr << "SELCAL_DIAL fail:" << " timeslot=" << ts << " incorect signs:" << signs << std::endl;
        return;
    }
    int amplitude = command.hasOptionalField(TERM::SelcalCommand::Optional::amp) ? command.get_amp().getValue()
                                                                                  : default_selcal_amplitude;
    std::array<uint8_t, 12> record{};
    BigEndian::put_u32(record.data(), 0, ts);
    BigEndian::put_u16(record.data(), 4, u16_field(amplitude, "SELCAL_DIAL", "amp", ts));
    std::memcpy(record.data() + 6, signs.data(), selcal_signs);
    if (Device::request_in(m_event.fd(), selcal_dial_code, record) == -1) {
        int error = errno;
        std::cerr << "SELCAL_DIAL fail:" << " timeslot=" << ts << ErrnoText{error} << std::endl;
    }
}

void TonecReceiverService::OnEvent(int fd, short revents)
{
    read_records(m_event, fd, revents, event_size, "tonec", [this](const uint8_t* record) { dispatch(record); });
}

void TonecReceiverService::dispatch(const uint8_t* record)
{
    EventFields event{BigEndian::get_u32(record, 0), BigEndian::get_u32(record, 4), BigEndian::get_u32(record, 8),
                      BigEndian::get_u32(record, 12)};
    std::clog << "dtmf event: " << event << std::endl;

    // The receiver enabled under the record's id takes it: ids are unique per enable, so an event
    // of an earlier enable or an earlier owner of the time slot reaches nobody.
    TonecReceiver* first = nullptr;
    for (Containers::CyclicList* node = receivers.next(); node != &receivers; node = node->next()) {
        TonecReceiver* receiver = static_cast<TonecReceiver*>(node);
        if (receiver->timeslot() != event.timeslot)
            continue;
        if (receiver->enabled && receiver->id == event.id) {
            receiver->tonec_event({event.code, event.timestamp});
            return;
        }
        if (!first)
            first = receiver;
    }
    if (!first)
        std::cerr << "receive tonec event from unknown timeslot " << event.timeslot << std::endl;
    else if (!first->enabled)
        std::clog << "ignore spurious dtmf event (DTMF disabled): " << event << std::endl;
    else
        std::clog << "ignore spurious dtmf event: " << event << " rid=" << first->id << std::endl;
}

}  // namespace Hardware
