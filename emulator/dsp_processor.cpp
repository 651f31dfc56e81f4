// The voice-processing device "/dev/dsp": per TDM time slot the features voice activity detection
// (mask 1), SD detection (2), receive and transmit mute (4, 8), BSS scoring (16), the noise gate
// (128) and the SELCAL shaper (1024), each switched on under an event id, plus tone filters
// (switched on per frequency by their configuration, all off with mask 256), processing delays and
// receive gain. The driver's parameter version (2 unless a test sets another with
// "set /dev/dsp version <n>") decides the layout of the VAD configuration.
//
// The driver's events are 24-byte records {time slot, event id, type, d0, d1, d2} that the daemon
// reads; a test raises one with
//     set /dev/dsp event <timeslot> <type> [<d0> [<d1> [<d2>]]] [id=<n>]
// where the type is vad (1), sd (2), bss (16), tone (256), flags (512) or a number, the words are
// numbers (the BSS score a decimal fraction, sent as its float bits), and the id is that of the
// time slot's latest enable of the event's feature unless given.

#include "emulator/device_model.h"
#include "emulator/open_file.h"
#include "foundation/os/big_endian.h"

#include <cerrno>
#include <cstdlib>
#include <map>
#include <set>

namespace Emulator {

namespace {

constexpr long long timeslot_count = 10240;

constexpr uint32_t what_vad = 1;
constexpr uint32_t what_sd = 2;
constexpr uint32_t what_delays = 32;
constexpr uint32_t what_rx_gain = 64;
constexpr uint32_t what_tone_filter = 256;
constexpr uint32_t tone_filters_mask = 256;

struct Feature {
    uint32_t mask;
    const char* name;
};

const Feature features[] = {{1, "VAD"},   {2, "SD"},  {4, "MUTE-RX"},     {8, "MUTE-TX"},
                            {16, "BSS"},  {128, "NG"}, {1024, "SELCAL_SH"}};

struct EventType {
    const char* name;
    uint32_t type;
    uint32_t feature;  // whose enable id the event carries by default; 0 for none
};

const EventType event_types[] = {
    {"vad", 1, 1}, {"sd", 2, 2}, {"bss", 16, 16}, {"tone", 256, 0}, {"flags", 512, 0}};

struct Timeslot {
    uint32_t on = 0;                   // mask of the features switched on
    std::map<uint32_t, uint32_t> ids;  // per feature mask, the id of its latest enable
    std::set<unsigned> tone_filters;   // frequencies whose filter is on
    std::map<uint32_t, std::string> configuration;  // per kind but tone filters, the latest one
};

bool known_mask(uint32_t mask)
{
    uint32_t known = tone_filters_mask;
    for (const Feature& feature : features)
        known |= feature.mask;
    return mask != 0 && (mask & ~known) == 0;
}

std::string describe(uint32_t number, const Timeslot& slot)
{
    std::string on;
    for (const Feature& feature : features)
        if (slot.on & feature.mask) {
            auto id = slot.ids.find(feature.mask);
            on += (on.empty() ? "" : ",") + std::string(feature.name) + "/" +
                  std::to_string(id == slot.ids.end() ? 0 : id->second);
        }
    std::string filters;
    for (unsigned frequency : slot.tone_filters)
        filters += (filters.empty() ? "" : ",") + std::to_string(frequency);
    std::string line = "timeslot=" + std::to_string(number) + " on=" + (on.empty() ? "none" : on) +
                       " tone-filters=" + (filters.empty() ? "none" : filters);
    for (const auto& [what, text] : slot.configuration)
        line += " " + text;
    return line;
}

// A decimal fraction as the bits of an IEEE single-precision float.
bool parse_float_bits(const std::string& text, long long& bits)
{
    char* end = nullptr;
    float value = std::strtof(text.c_str(), &end);
    if (text.empty() || *end != '\0')
        return false;
    uint8_t record[4];
    BigEndian::put_float(record, 0, value);
    bits = BigEndian::get_u32(record, 0);
    return true;
}

class DspProcessor : public DeviceModel {
public:
    DspProcessor() : DeviceModel("/dev/dsp")
    {
        using DeviceLink::Argument;
        define({0x40146401, "DSPROC_CONFIGURE", Argument::record, 20, {"timeslot", "what"},
                [this](Call& call) { return configure(call); }});
        define({0x400C6402, "DSPROC_ENABLE", Argument::record, 12, {"timeslot", "id", "mask"},
                [this](Call& call) { return enable(call); }});
        define({0x400C6403, "DSPROC_DISABLE", Argument::record, 12, {"timeslot", "id", "mask"},
                [this](Call& call) { return disable(call); }});
        define({0x40046404, "DSPROC_VERSION", Argument::value, 0, {"argument"},
                [this](Call&) { return Answer{version_}; }});
    }

    // "version=<n>" and every time slot a request touched, or the time slot named.
    bool state(const Words& arguments, std::vector<std::string>& lines) const override
    {
        long long number;
        if (arguments.size() == 1 && parse_number(arguments[0], number) && number >= 0 && number < timeslot_count) {
            auto found = timeslots_.find(static_cast<uint32_t>(number));
            lines.push_back(describe(static_cast<uint32_t>(number), found == timeslots_.end() ? Timeslot{} : found->second));
            return true;
        }
        if (!arguments.empty())
            return false;
        lines.push_back("version=" + std::to_string(version_));
        for (const auto& [timeslot, slot] : timeslots_)
            lines.push_back(describe(timeslot, slot));
        return true;
    }

    // "version <n>" or "event ..." (above).
    bool set(const Words& arguments) override
    {
        long long number;
        if (arguments.size() == 2 && arguments[0] == "version" && parse_number(arguments[1], number) &&
            number >= 0 && number <= 0x7FFFFFFF) {
            version_ = static_cast<int>(number);
            return true;
        }
        return arguments.size() >= 3 && arguments[0] == "event" && raise(arguments);
    }

private:
    Timeslot* timeslot(uint32_t number) { return number < timeslot_count ? &timeslots_[number] : nullptr; }

    bool raise(const Words& arguments)
    {
        long long number;
        if (!parse_number(arguments[1], number) || number < 0 || number >= timeslot_count || !latest_file())
            return false;
        uint32_t type = 0, feature = 0;
        long long given;
        for (const EventType& known : event_types)
            if (arguments[2] == known.name) {
                type = known.type;
                feature = known.feature;
            }
        if (!type) {
            if (!parse_number(arguments[2], given) || given < 0 || given > 0xFFFFFFFFLL)
                return false;
            type = static_cast<uint32_t>(given);
        }
        auto found = timeslots_.find(static_cast<uint32_t>(number));
        long long id = 0;
        if (feature && found != timeslots_.end() && found->second.ids.count(feature))
            id = found->second.ids.at(feature);
        std::vector<uint8_t> record(24);
        size_t word = 0;
        for (size_t i = 3; i < arguments.size(); ++i) {
            long long value;
            if (parse_option(arguments[i], "id", id))
                continue;
            bool score = type == 16 && word == 0;
            if (word == 3 || !(score ? parse_float_bits(arguments[i], value) : parse_number(arguments[i], value)) ||
                value < -0x80000000LL || value > 0xFFFFFFFFLL)
                return false;
            BigEndian::put_u32(record.data(), 12 + 4 * word++, static_cast<uint32_t>(value));
        }
        BigEndian::put_u32(record.data(), 0, static_cast<uint32_t>(number));
        BigEndian::put_u32(record.data(), 4, static_cast<uint32_t>(id));
        BigEndian::put_u32(record.data(), 8, type);
        latest_file()->push(std::move(record));
        return true;
    }

    Answer configure(Call& call)
    {
        uint32_t number = BigEndian::get_u32(call.record, 0);
        uint32_t what = BigEndian::get_u32(call.record, 4);
        const uint8_t* p = call.record + 8;
        std::string text;
        switch (what) {
        case what_vad:
            if (version_ == 2)
                text = "VAD voice-th-msec=" + std::to_string(BigEndian::get_u16(p, 0)) +
                       " silence-th-msec=" + std::to_string(BigEndian::get_u16(p, 2)) +
                       " e-th-dB=" + std::to_string(static_cast<int8_t>(p[4]));
            else
                text = "VAD words=" + std::to_string(BigEndian::get_u32(p, 0)) + "," +
                       std::to_string(BigEndian::get_u32(p, 4)) + "," + std::to_string(BigEndian::get_u32(p, 8));
            break;
        case what_sd: text = "SD"; break;
        case what_delays:
            text = "DELAYS rx=" + std::to_string(BigEndian::get_u32(p, 0)) + " tx=" +
                   std::to_string(BigEndian::get_u32(p, 4)) + " selcal=" + std::to_string(BigEndian::get_u32(p, 8));
            break;
        case what_rx_gain: text = "RX-GAIN gain_dB=" + std::to_string(static_cast<int8_t>(p[0])); break;
        case what_tone_filter:
            text = "TONE-FILTER freq=" + std::to_string(BigEndian::get_u16(p, 0)) + " en=" + std::to_string(p[2]) +
                   " dur_th_msec=" + std::to_string(BigEndian::get_u16(p, 4)) +
                   " det_lvl_dB=" + std::to_string(static_cast<int8_t>(p[6]));
            break;
        default: break;
        }
        call.fields = "timeslot=" + std::to_string(number) + " " + (text.empty() ? "what=" + std::to_string(what) : text);
        Timeslot* slot = timeslot(number);
        if (!slot || text.empty())
            return Answer::failure(EINVAL);
        if (what == what_tone_filter) {
            unsigned frequency = BigEndian::get_u16(p, 0);
            if (p[2])
                slot->tone_filters.insert(frequency);
            else
                slot->tone_filters.erase(frequency);
        } else {
            slot->configuration[what] = text;
        }
        return {};
    }

    Answer enable(Call& call)
    {
        Timeslot* slot = timeslot(BigEndian::get_u32(call.record, 0));
        uint32_t mask = BigEndian::get_u32(call.record, 8);
        if (!slot || !known_mask(mask) || (mask & tone_filters_mask))
            return Answer::failure(EINVAL);
        slot->on |= mask;
        for (const Feature& feature : features)
            if (mask & feature.mask)
                slot->ids[feature.mask] = BigEndian::get_u32(call.record, 4);
        return {};
    }

    Answer disable(Call& call)
    {
        Timeslot* slot = timeslot(BigEndian::get_u32(call.record, 0));
        uint32_t mask = BigEndian::get_u32(call.record, 8);
        if (!slot || !known_mask(mask))
            return Answer::failure(EINVAL);
        slot->on &= ~mask;
        if (mask & tone_filters_mask)
            slot->tone_filters.clear();
        return {};
    }

    int version_ = 2;
    std::map<uint32_t, Timeslot> timeslots_;
};

const DeviceModel::Registration<DspProcessor> registration;

}  // namespace

}  // namespace Emulator
