// The TDM time-slot switch behind "/dev/hal". Each of its channels, 0 to 10239 here (the backplane
// time slots 8192 to 10239 are the top of them), is driven from a source channel, driven with a
// constant byte, or disabled. A read gives the byte seen on a channel: a remote byte the test set
// (another party on the bus or line), else what the switch drives there, else 0xFF (floating).
//
// The daemon re-disables every output it believes disabled, 128 requests per reactor pass for as
// long as it runs. Such a disable of an output already disabled changes nothing: it is counted per
// output instead of being journalled, so the journal and the emulator's memory stay small.

#include "emulator/device_model.h"
#include "emulator/tdm_routes.h"
#include "foundation/os/big_endian.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <map>
#include <set>

namespace Emulator {

namespace {

constexpr int channel_count = 10240;
constexpr uint8_t floating = 0xFF;

bool is_channel(long long channel) { return channel >= 0 && channel < channel_count; }

class TdmSwitch;
TdmSwitch* the_switch = nullptr;

class TdmSwitch : public DeviceModel {
public:
    TdmSwitch() : DeviceModel("/dev/hal")
    {
        the_switch = this;
        using DeviceLink::Argument;
        define({0x80084D02, "connect", Argument::record, 8, {"output", "source"},
                [this](Call& call) { return connect(call); }});
        define({0x80044D03, "disable", Argument::record, 4, {"output"}, [this](Call& call) { return disable(call); }},
               {[this](const uint8_t* records, size_t count) { return repeat_disables(records, count); },
                [this](const uint8_t* first, size_t count) { return repeat_counted_disables(first, count); }});
        define({0xC0084D04, "write", Argument::record, 8, {"output", "value"},
                [this](Call& call) { return drive_constant(call); }});
        define({0xC0084D05, "read", Argument::record, 8, {"channel", "value"},
                [this](Call& call) { return read_back(call); }});
    }

    bool state(const Words& arguments, std::vector<std::string>& lines) const override
    {
        long long channel;
        if (arguments.size() == 1 && parse_number(arguments[0], channel) && is_channel(channel)) {
            lines.push_back(describe(static_cast<int>(channel)) + " repeats=" + std::to_string(repeats_of(channel)));
            return true;
        }
        if (!arguments.empty())
            return false;
        for (int channel = 0; channel < channel_count; ++channel)
            if (outputs_[channel].drive != Drive::disabled)
                lines.push_back(describe(channel));
        for (const auto& [channel, byte] : remote_)
            lines.push_back("remote channel=" + std::to_string(channel) + " byte=" + std::to_string(byte));
        lines.push_back("repeated-disables=" + std::to_string(repeats_));
        return true;
    }

    // "remote <channel> <byte>" or "remote <channel> none": what another party drives on a channel.
    bool set(const Words& arguments) override
    {
        long long channel, byte;
        if (arguments.size() != 3 || arguments[0] != "remote" || !parse_number(arguments[1], channel) ||
            !is_channel(channel))
            return false;
        if (arguments[2] == "none") {
            remote_.erase(static_cast<int>(channel));
            return true;
        }
        if (!parse_number(arguments[2], byte) || byte < 0 || byte > 255)
            return false;
        remote_[static_cast<int>(channel)] = static_cast<uint8_t>(byte);
        return true;
    }

    ~TdmSwitch() override { the_switch = nullptr; }

    int32_t source_of(int32_t channel) const
    {
        return is_channel(channel) && outputs_[channel].drive == Drive::source ? outputs_[channel].source : -1;
    }

private:
    enum class Drive : uint8_t { disabled, source, constant };

    // What the switch drives onto one channel.
    struct Output {
        Drive drive = Drive::disabled;
        uint8_t constant = 0;
        int32_t source = 0;
        unsigned long long repeats = 0;  // disables of this channel while it was disabled, but for counting runs'
    };

    static int32_t word(const Call& call, size_t index) { return BigEndian::get_i32(call.record, 4 * index); }

    Output* output(int32_t channel) { return is_channel(channel) ? &outputs_[channel] : nullptr; }

    std::string describe(int channel) const
    {
        const Output& output = outputs_[channel];
        std::string text = "output=" + std::to_string(channel);
        switch (output.drive) {
        case Drive::disabled: return text + " disabled";
        case Drive::source: return text + " source=" + std::to_string(output.source);
        case Drive::constant: return text + " constant=" + std::to_string(output.constant);
        }
        return text;
    }

    Answer connect(Call& call)
    {
        Output* target = output(word(call, 0));
        int32_t source = word(call, 1);
        if (!target || !is_channel(source))
            return Answer::failure(EINVAL);
        set_drive(*target, Drive::source);
        target->source = source;
        return {};
    }

    Answer disable(Call& call)
    {
        if (repeat_disables(call.record, 1) == 1)
            return {0, 0, false};
        Output* target = output(word(call, 0));
        if (!target)
            return Answer::failure(EINVAL);
        set_drive(*target, Drive::disabled);
        return {};
    }

    // The disables of outputs that are disabled already, from the first of the records on.
    size_t repeat_disables(const uint8_t* records, size_t count)
    {
        size_t repeated = 0;
        for (; repeated < count; ++repeated) {
            Output* target = output(BigEndian::get_i32(records, 4 * repeated));
            if (!target || target->drive != Drive::disabled)
                break;
            ++target->repeats;
        }
        repeats_ += repeated;
        return repeated;
    }

    // The same for the disables of the outputs from the first record's on, one after the other:
    // those up to the first driven output, counted for the whole stretch at once.
    size_t repeat_counted_disables(const uint8_t* first, size_t count)
    {
        const int32_t from = BigEndian::get_i32(first, 0);
        if (!is_channel(from))
            return 0;
        long long end = std::min<long long>(from + static_cast<long long>(count), channel_count);
        if (auto next_driven = driven_.lower_bound(from); next_driven != driven_.end())
            end = std::min<long long>(end, *next_driven);
        if (end > from) {
            ++stretch_repeats_[from];
            --stretch_repeats_[end];
        }
        repeats_ += end - from;
        return static_cast<size_t>(end - from);
    }

    // All disables of the channel while it was disabled.
    unsigned long long repeats_of(long long channel) const
    {
        long long stretches = 0;
        for (long long from = 0; from <= channel; ++from)
            stretches += stretch_repeats_[from];
        return outputs_[channel].repeats + static_cast<unsigned long long>(stretches);
    }

    // Every change of a drive comes through here, which keeps driven_ true.
    void set_drive(Output& target, Drive drive)
    {
        target.drive = drive;
        const int32_t channel = static_cast<int32_t>(&target - outputs_.data());
        if (drive == Drive::disabled)
            driven_.erase(channel);
        else
            driven_.insert(channel);
    }

    Answer drive_constant(Call& call)
    {
        Output* target = output(word(call, 0));
        int32_t value = word(call, 1);
        if (!target || value < 0 || value > 255)
            return Answer::failure(EINVAL);
        set_drive(*target, Drive::constant);
        target->constant = static_cast<uint8_t>(value);
        return {};
    }

    Answer read_back(Call& call)
    {
        int32_t channel = word(call, 0);
        if (!is_channel(channel))
            return Answer::failure(EINVAL);
        uint8_t byte = seen(channel);
        BigEndian::put_u32(call.record, 4, byte);
        call.note = "byte=" + std::to_string(byte);
        return {};
    }

    // Follows the connections back to whatever drives the channel; a ring of connections that
    // nothing drives floats.
    uint8_t seen(int32_t channel) const
    {
        for (int hop = 0; hop <= channel_count; ++hop) {
            if (auto remote = remote_.find(channel); remote != remote_.end())
                return remote->second;
            const Output& output = outputs_[channel];
            if (output.drive == Drive::constant)
                return output.constant;
            if (output.drive == Drive::disabled)
                return floating;
            channel = output.source;
        }
        return floating;
    }

    std::array<Output, channel_count> outputs_{};
    std::set<int32_t> driven_;  // the outputs that are not disabled
    // The repeated disables of counting runs, each a stretch of outputs: +1 where a stretch
    // begins and -1 where it ends, so that an output's count is the sum up to it.
    std::array<long long, channel_count + 1> stretch_repeats_{};
    std::map<int32_t, uint8_t> remote_;
    unsigned long long repeats_ = 0;
};

const DeviceModel::Registration<TdmSwitch> registration;

}  // namespace

int32_t switch_source(int32_t output) { return the_switch ? the_switch->source_of(output) : -1; }

}  // namespace Emulator
