// The tone and DTMF processor "/dev/dtmf": per TDM time slot a DTMF detector with its thresholds,
// switched on under an event id, DTMF rejection, the LMS echo canceller, an IVA detector with its
// level, a dual-tone generator and SELCAL dialling. Each request of the generator is journalled
// with its time, so the journal shows the cadence of dialled digits and of the ring-back tone.
//
// The detector's events are 16-byte records {code, time slot, timestamp, event id} that the
// daemon reads; a test raises one with
//     set /dev/dtmf event <timeslot> <code> [id=<n>] [timestamp=<n>]
// which carries the id of the time slot's latest detector enable (0 before any) unless given, and
// the milliseconds since the emulator started as its timestamp unless given.

#include "emulator/device_model.h"
#include "emulator/open_file.h"
#include "foundation/os/big_endian.h"

#include <cerrno>
#include <chrono>
#include <map>

namespace Emulator {

namespace {

constexpr long long timeslot_count = 10240;

struct Timeslot {
    bool detector = false;
    uint32_t id = 0;  // of the latest detector enable
    std::string thresholds = "none";
    bool lms = false;
    bool rejection = false;
    bool iva = false;
    int32_t iva_level = 0;
    std::string generator = "off";  // "<freq1>/<freq2>@<level1>/<level2>" while sounding
};

const char* on_off(bool on) { return on ? "on" : "off"; }

std::string describe(uint32_t timeslot, const Timeslot& slot)
{
    return "timeslot=" + std::to_string(timeslot) + " detector=" + on_off(slot.detector) +
           " id=" + std::to_string(slot.id) + " thresholds=" + slot.thresholds + " lms=" + on_off(slot.lms) +
           " rejection=" + on_off(slot.rejection) + " iva=" + on_off(slot.iva) +
           " iva-level=" + std::to_string(slot.iva_level) + " generator=" + slot.generator;
}

class ToneProcessor : public DeviceModel {
public:
    ToneProcessor() : DeviceModel("/dev/dtmf"), start_(std::chrono::steady_clock::now())
    {
        using DeviceLink::Argument;
        define({0x40144202, "DTMF_CONFIGURE_DETECTOR", Argument::record, 20,
                {"timeslot", "twist", "ratio", "silence", "noise"}, [this](Call& call) { return configure(call); }});
        define({0x40084203, "DTMF_ENABLE_DETECTOR", Argument::record, 8, {"timeslot", "id"},
                [this](Call& call) { return enable_detector(call); }});
        define({0x40044204, "DTMF_DISABLE_DETECTOR", Argument::value, 0, {"timeslot"},
                [this](Call& call) { return by_value(call, [](Timeslot& slot) { slot.detector = false; }); }});
        define({0x400C4205, "DTMF_DIAL", Argument::record, 12, {"timeslot"}, [this](Call& call) { return dial(call); }});
        define({0x40044206, "CHANNEL_LMS_ON", Argument::value, 0, {"timeslot"},
                [this](Call& call) { return by_value(call, [](Timeslot& slot) { slot.lms = true; }); }});
        define({0x40044207, "CHANNEL_LMS_OFF", Argument::value, 0, {"timeslot"},
                [this](Call& call) { return by_value(call, [](Timeslot& slot) { slot.lms = false; }); }});
        define({0x40044209, "DTMF_REJECTION_ENABLE", Argument::value, 0, {"timeslot"},
                [this](Call& call) { return by_value(call, [](Timeslot& slot) { slot.rejection = true; }); }});
        define({0x4004420A, "DTMF_REJECTION_DISABLE", Argument::value, 0, {"timeslot"},
                [this](Call& call) { return by_value(call, [](Timeslot& slot) { slot.rejection = false; }); }});
        define({0x4004420B, "IVA_DETECTOR_ENABLE", Argument::value, 0, {"timeslot"},
                [this](Call& call) { return by_value(call, [](Timeslot& slot) { slot.iva = true; }); }});
        define({0x4004420C, "IVA_DETECTOR_DISABLE", Argument::value, 0, {"timeslot"},
                [this](Call& call) { return by_value(call, [](Timeslot& slot) { slot.iva = false; }); }});
        define({0x4008420D, "IVA_CONFIGURE_DETECTOR", Argument::record, 8, {"timeslot", "level"},
                [this](Call& call) { return configure_iva(call); }});
        define({0x400C420E, "SELCAL_DIAL", Argument::record, 12, {"timeslot"},
                [this](Call& call) { return selcal(call); }});
    }

    // Every time slot a request touched, or the one named.
    bool state(const Words& arguments, std::vector<std::string>& lines) const override
    {
        long long timeslot;
        if (arguments.size() == 1 && parse_number(arguments[0], timeslot) && timeslot >= 0 &&
            timeslot < timeslot_count) {
            auto found = timeslots_.find(static_cast<uint32_t>(timeslot));
            lines.push_back(describe(static_cast<uint32_t>(timeslot), found == timeslots_.end() ? Timeslot{} : found->second));
            return true;
        }
        if (!arguments.empty())
            return false;
        for (const auto& [number, slot] : timeslots_)
            lines.push_back(describe(number, slot));
        return true;
    }

    // "event <timeslot> <code> [id=<n>] [timestamp=<n>]", sent to the latest open of the device.
    bool set(const Words& arguments) override
    {
        long long timeslot, code;
        if (arguments.size() < 3 || arguments.size() > 5 || arguments[0] != "event" ||
            !parse_number(arguments[1], timeslot) || timeslot < 0 || timeslot >= timeslot_count ||
            !parse_number(arguments[2], code) || code < 0 || code > 0xFFFFFFFFLL || !latest_file())
            return false;
        auto found = timeslots_.find(static_cast<uint32_t>(timeslot));
        long long id = found == timeslots_.end() ? 0 : found->second.id;
        long long timestamp = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now() - start_)
                                  .count();
        for (size_t i = 3; i < arguments.size(); ++i)
            if (!parse_option(arguments[i], "id", id) && !parse_option(arguments[i], "timestamp", timestamp))
                return false;
        std::vector<uint8_t> record(16);
        BigEndian::put_u32(record.data(), 0, static_cast<uint32_t>(code));
        BigEndian::put_u32(record.data(), 4, static_cast<uint32_t>(timeslot));
        BigEndian::put_u32(record.data(), 8, static_cast<uint32_t>(timestamp));
        BigEndian::put_u32(record.data(), 12, static_cast<uint32_t>(id));
        latest_file()->push(std::move(record));
        return true;
    }

private:
    // The time slot of a request, or null (the request then fails with EINVAL).
    Timeslot* timeslot(uint32_t number)
    {
        return number < timeslot_count ? &timeslots_[number] : nullptr;
    }

    template <class Change>
    Answer by_value(Call& call, Change change)
    {
        Timeslot* slot = timeslot(call.value);
        if (!slot)
            return Answer::failure(EINVAL);
        change(*slot);
        return {};
    }

    Answer configure(Call& call)
    {
        Timeslot* slot = timeslot(BigEndian::get_u32(call.record, 0));
        if (!slot)
            return Answer::failure(EINVAL);
        slot->thresholds = std::to_string(BigEndian::get_u32(call.record, 4)) + "/" +
                           std::to_string(BigEndian::get_u32(call.record, 8)) + "/" +
                           std::to_string(BigEndian::get_u32(call.record, 12)) + "/" +
                           std::to_string(BigEndian::get_u32(call.record, 16));
        return {};
    }

    Answer enable_detector(Call& call)
    {
        Timeslot* slot = timeslot(BigEndian::get_u32(call.record, 0));
        if (!slot)
            return Answer::failure(EINVAL);
        slot->detector = true;
        slot->id = BigEndian::get_u32(call.record, 4);
        return {};
    }

    Answer dial(Call& call)
    {
        uint32_t number = BigEndian::get_u32(call.record, 0);
        unsigned freq1 = BigEndian::get_u16(call.record, 4), freq2 = BigEndian::get_u16(call.record, 6);
        unsigned level1 = BigEndian::get_u16(call.record, 8), level2 = BigEndian::get_u16(call.record, 10);
        call.fields = "timeslot=" + std::to_string(number) + " freq1=" + std::to_string(freq1) +
                      " freq2=" + std::to_string(freq2) + " level1=" + std::to_string(level1) +
                      " level2=" + std::to_string(level2);
        Timeslot* slot = timeslot(number);
        if (!slot)
            return Answer::failure(EINVAL);
        bool silent = (freq1 == 0 && freq2 == 0) || (level1 == 0 && level2 == 0);
        slot->generator = silent ? "off"
                                 : std::to_string(freq1) + "/" + std::to_string(freq2) + "@" + std::to_string(level1) +
                                       "/" + std::to_string(level2);
        return {};
    }

    Answer configure_iva(Call& call)
    {
        Timeslot* slot = timeslot(BigEndian::get_u32(call.record, 0));
        if (!slot)
            return Answer::failure(EINVAL);
        slot->iva_level = BigEndian::get_i32(call.record, 4);
        return {};
    }

    Answer selcal(Call& call)
    {
        uint32_t number = BigEndian::get_u32(call.record, 0);
        std::string signs;
        for (size_t i = 6; i < 10; ++i) {
            char sign = static_cast<char>(call.record[i]);
            signs += sign > ' ' && sign < 127 ? sign : '?';
        }
        call.fields = "timeslot=" + std::to_string(number) + " amp=" + std::to_string(BigEndian::get_u16(call.record, 4)) +
                      " signs=" + signs + " tail=" + bytes_text(call.record + 10, 2);
        return timeslot(number) ? Answer{} : Answer::failure(EINVAL);
    }

    std::chrono::steady_clock::time_point start_;
    std::map<uint32_t, Timeslot> timeslots_;
};

const DeviceModel::Registration<ToneProcessor> registration;

}  // namespace

}  // namespace Emulator
