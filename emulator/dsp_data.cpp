// The DSP data driver "/dev/dsp-data" that carries QSIG D channels: each open is one D channel,
// which request 0x40044211 names by its switch channel (the result; the 4-octet record is not
// touched), and on which B channels 0 to 2 are added (0x8008420F: the driver writes the B channel's
// switch channel, the D channel's plus one plus the index) and removed (0x80084210). Frames travel
// one per read and write: what the daemon writes is journalled as "frame", a test sends frames with
// "push" or taps the D channel by its switch channel (see frame_taps.h).
//
// The D channel of the next open is 600 unless a test sets another with
// "set /dev/dsp-data channel <channel>"; each later open takes the one four above.

#include "emulator/device_model.h"
#include "emulator/frame_taps.h"
#include "emulator/open_file.h"
#include "foundation/os/big_endian.h"

#include <cerrno>
#include <map>
#include <set>

namespace Emulator {

namespace {

constexpr int32_t first_channel = 600;
constexpr uint32_t b_channels = 3;
constexpr int32_t channels_per_open = 4;  // the D channel and its B channels

struct DChannel {
    OpenFile* file = nullptr;
    int32_t channel = 0;
    std::set<uint32_t> b_channels;  // indexes added
};

class DspData : public DeviceModel {
public:
    DspData() : DeviceModel("/dev/dsp-data")
    {
        using DeviceLink::Argument;
        define({0x40044211, "D_CHANNEL", Argument::record, 4, {}, [this](Call& call) { return d_channel(call); }});
        define({0x8008420F, "ADD_B", Argument::record, 8, {"index", "channel"},
                [this](Call& call) { return add_b(call); }});
        define({0x80084210, "REMOVE_B", Argument::record, 8, {"index", "channel"},
                [this](Call& call) { return remove_b(call); }});
        define(taps_.request());
    }

    Written write(OpenFile& file, const uint8_t* data, size_t size) override
    {
        if (taps_.is_tap(file)) {
            DChannel* channel = by_channel(taps_.tapped(file));
            if (channel)
                channel->file->push(std::vector<uint8_t>(data, data + size));
            return FrameTaps::written_by_tap(file, channel ? channel->file : nullptr);
        }
        DChannel& channel = open(file);
        taps_.from_daemon([&](int32_t tapped) { return tapped == channel.channel; }, data, size);
        return {"frame", "file=" + std::to_string(file.id()) + " channel=" + std::to_string(channel.channel) +
                             " bytes=" + bytes_text(data, size)};
    }

    // One line per D channel that has told its channel: "file=<n> channel=<c> b=<indexes>".
    bool state(const Words& arguments, std::vector<std::string>& lines) const override
    {
        if (!arguments.empty())
            return false;
        for (const auto& [file, channel] : channels_) {
            std::string indexes;
            for (uint32_t index : channel.b_channels)
                indexes += (indexes.empty() ? "" : ",") + std::to_string(index);
            lines.push_back("file=" + std::to_string(file) + " channel=" + std::to_string(channel.channel) +
                            " b=" + indexes);
        }
        return true;
    }

    // "channel <channel>": the D channel of the next open.
    bool set(const Words& arguments) override
    {
        long long number;
        if (arguments.size() != 2 || arguments[0] != "channel" || !parse_number(arguments[1], number) || number < 0 ||
            number > 10239)
            return false;
        next_channel_ = static_cast<int32_t>(number);
        return true;
    }

private:
    void closed(OpenFile& file) override
    {
        channels_.erase(file.id());
        taps_.closed(file);
    }

    // The D channel of an open, given its channel at the first request or frame.
    DChannel& open(OpenFile& file)
    {
        auto found = channels_.find(file.id());
        if (found != channels_.end())
            return found->second;
        DChannel& channel = channels_[file.id()];
        channel.file = &file;
        channel.channel = next_channel_;
        next_channel_ += channels_per_open;
        return channel;
    }

    DChannel* by_channel(int32_t number)
    {
        for (auto& entry : channels_)
            if (entry.second.channel == number)
                return &entry.second;
        return nullptr;
    }

    Answer d_channel(Call& call) { return {open(call.file).channel}; }

    Answer add_b(Call& call)
    {
        DChannel& channel = open(call.file);
        uint32_t index = BigEndian::get_u32(call.record, 0);
        if (index >= b_channels)
            return Answer::failure(EINVAL);
        if (!channel.b_channels.insert(index).second)
            return Answer::failure(EBUSY);
        BigEndian::put_i32(call.record, 4, channel.channel + 1 + static_cast<int32_t>(index));
        return {};
    }

    Answer remove_b(Call& call)
    {
        DChannel& channel = open(call.file);
        uint32_t index = BigEndian::get_u32(call.record, 0);
        if (BigEndian::get_i32(call.record, 4) != channel.channel + 1 + static_cast<int32_t>(index) ||
            !channel.b_channels.erase(index))
            return Answer::failure(EINVAL);
        return {};
    }

    std::map<int, DChannel> channels_;  // by open file
    FrameTaps taps_;
    int32_t next_channel_ = first_channel;
};

const DeviceModel::Registration<DspData> registration;

}  // namespace

}  // namespace Emulator
