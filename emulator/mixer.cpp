// The summing mixers "/dev/mixer". Each unit has TDM channels, each channel a sum of sources of
// the same unit with their weights, and a limit on the sources in all its sums together (its
// mixer inputs). Channel n of unit u is switch channel 1024 + 128 x u + n, so units 0 to 71 lie
// inside the switch. The board starts without units; a test adds, changes or removes one with
//     set /dev/mixer unit <u> channels=<n> inputs=<m>
//     set /dev/mixer unit <u> none
// (units 0 to 9999; changing or removing a unit empties its sums). "state /dev/mixer" gives
// "unit=<u> channels=<n> inputs=<m>" per unit and "sum unit=<u> number=<n> sources=<n>*<w>,..."
// per channel with sources.
//
// The enumeration is coded as a write but answered in place: given a unit (-1 to start), it
// fills in the next unit above it with its channel and input counts, and fails with ENODEV after
// the last.

#include "emulator/device_model.h"
#include "foundation/os/big_endian.h"

#include <cerrno>
#include <map>
#include <utility>
#include <vector>

namespace Emulator {

namespace {

constexpr int32_t first_tdm = 1024;
constexpr int32_t unit_tdm = 128;  // switch channels per unit, so also its most channels
constexpr long long last_unit = 9999;

struct Unit {
    int32_t channels;
    int32_t inputs;
};

// A mixer channel as a record gives it: unit, type, number.
struct Channel {
    int32_t unit;
    int32_t type;
    int32_t number;
};

Channel channel_at(const uint8_t* record, size_t offset)
{
    return {BigEndian::get_i32(record, offset), BigEndian::get_i32(record, offset + 4),
            BigEndian::get_i32(record, offset + 8)};
}

const std::vector<std::string> slot_fields{"dev_no", "type", "number"};
const std::vector<std::string> input_fields{"rx.dev_no", "rx.type", "rx.number", "tx.dev_no",
                                            "tx.type",   "tx.number", "weight"};

class Mixer : public DeviceModel {
public:
    Mixer() : DeviceModel("/dev/mixer")
    {
        using DeviceLink::Argument;
        define({0x800C4D02, "MIX_RX_CLEAR", Argument::record, 12, slot_fields,
                [this](Call& call) { return clear(call); }});
        define({0x801C4D03, "MIX_RX_ADD", Argument::record, 28, input_fields,
                [this](Call& call) { return add(call); }});
        define({0x801C4D04, "MIX_RX_REMOVE", Argument::record, 28, input_fields,
                [this](Call& call) { return remove(call); }});
        define({0x800C4D06, "MIX_TDM", Argument::record, 12, slot_fields, [this](Call& call) { return tdm(call); }});
        define({0x80104D07, "enumerate", Argument::record, 16, {"unit", "channels", "word2", "inputs"},
                [this](Call& call) { return enumerate(call); }});
    }

    bool state(const Words& arguments, std::vector<std::string>& lines) const override
    {
        if (!arguments.empty())
            return false;
        for (const auto& [number, unit] : units_)
            lines.push_back("unit=" + std::to_string(number) + " channels=" + std::to_string(unit.channels) +
                            " inputs=" + std::to_string(unit.inputs));
        for (const auto& [key, sources] : sums_) {
            std::string line;
            for (const auto& [number, weight] : sources)
                line += (line.empty() ? "" : ",") + std::to_string(number) + '*' + std::to_string(weight);
            if (!sources.empty())
                lines.push_back("sum unit=" + std::to_string(key.first) + " number=" + std::to_string(key.second) +
                                " sources=" + line);
        }
        return true;
    }

    bool set(const Words& arguments) override
    {
        long long unit, channels, inputs;
        if (arguments.size() < 3 || arguments[0] != "unit" || !parse_number(arguments[1], unit) || unit < 0 ||
            unit > last_unit)
            return false;
        auto number = static_cast<int32_t>(unit);
        if (arguments.size() == 3 && arguments[2] == "none") {
            units_.erase(number);
            empty_sums(number);
            return true;
        }
        if (arguments.size() != 4 || !parse_option(arguments[2], "channels", channels) || channels < 0 ||
            channels > unit_tdm || !parse_option(arguments[3], "inputs", inputs) || inputs < 0 || inputs > 0x7FFFFFFF)
            return false;
        units_[number] = {static_cast<int32_t>(channels), static_cast<int32_t>(inputs)};
        empty_sums(number);
        return true;
    }

private:
    using Sources = std::vector<std::pair<int32_t, int32_t>>;  // source number and weight

    void empty_sums(int32_t unit)
    {
        for (auto sum = sums_.begin(); sum != sums_.end();)
            sum = sum->first.first == unit ? sums_.erase(sum) : std::next(sum);
    }

    // 0 for a TDM channel of a unit, else the driver's errno.
    int check(const Channel& channel) const
    {
        auto unit = units_.find(channel.unit);
        if (unit == units_.end())
            return ENODEV;
        return channel.type == 0 && channel.number >= 0 && channel.number < unit->second.channels ? 0 : EINVAL;
    }

    // The sum of a summator that exists.
    Sources& sum(const Channel& rx) { return sums_[{rx.unit, rx.number}]; }

    Answer clear(Call& call)
    {
        Channel rx = channel_at(call.record, 0);
        if (int error = check(rx))
            return Answer::failure(error);
        sum(rx).clear();
        return {};
    }

    // The summator and the source of an add or a remove, both of one unit; 0 or the errno.
    int pair(const Call& call, Channel& rx, Channel& tx) const
    {
        rx = channel_at(call.record, 0);
        tx = channel_at(call.record, 12);
        if (int error = check(rx))
            return error;
        if (int error = check(tx))
            return error;
        return rx.unit == tx.unit ? 0 : EINVAL;
    }

    Answer add(Call& call)
    {
        Channel rx, tx;
        if (int error = pair(call, rx, tx))
            return Answer::failure(error);
        size_t used = 0;
        for (const auto& [key, sources] : sums_)
            used += key.first == rx.unit ? sources.size() : 0;
        Sources& sources = sum(rx);
        for (const auto& source : sources)
            if (source.first == tx.number)
                return Answer::failure(EEXIST);
        if (used >= static_cast<size_t>(units_.at(rx.unit).inputs))
            return Answer::failure(ENOSPC);
        sources.emplace_back(tx.number, BigEndian::get_i32(call.record, 24));
        return {};
    }

    Answer remove(Call& call)
    {
        Channel rx, tx;
        if (int error = pair(call, rx, tx))
            return Answer::failure(error);
        Sources& sources = sum(rx);
        for (auto source = sources.begin(); source != sources.end(); ++source)
            if (source->first == tx.number) {
                sources.erase(source);
                return {};
            }
        return Answer::failure(ENOENT);
    }

    Answer tdm(Call& call)
    {
        Channel channel = channel_at(call.record, 0);
        if (int error = check(channel))
            return Answer::failure(error);
        return {first_tdm + unit_tdm * channel.unit + channel.number};
    }

    Answer enumerate(Call& call)
    {
        auto next = units_.upper_bound(BigEndian::get_i32(call.record, 0));
        if (next == units_.end())
            return Answer::failure(ENODEV);
        BigEndian::put_i32(call.record, 0, next->first);
        BigEndian::put_i32(call.record, 4, next->second.channels);
        BigEndian::put_i32(call.record, 12, next->second.inputs);
        call.note = "unit=" + std::to_string(next->first) + " channels=" + std::to_string(next->second.channels) +
                    " inputs=" + std::to_string(next->second.inputs);
        return {};
    }

    std::map<int32_t, Unit> units_;
    std::map<std::pair<int32_t, int32_t>, Sources> sums_;  // by unit and number
};

const DeviceModel::Registration<Mixer> registration;

}  // namespace

}  // namespace Emulator
