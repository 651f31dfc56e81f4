// The multi-channel HDLC controller "/dev/mcc/ctl". Each open may allocate one controller channel:
// "MCC_ALLOCATE" takes the channel type (0 data, 1 BRI, 2 transparent, 3 SS7) and four words the
// controller keeps; "MCC_TIMESLOT" answers the TDM switch channel that carries the controller
// channel. Frames then travel one per read and write: what the daemon writes is journalled as
// "frame" with its bytes, and a test sends frames with "push", holds the daemon's frames back with
// "stall" and "drain", and ends the channel with "eof". Closing the open frees its channel.
//
// Controller channels sit on TDM channels 256 to 383, the lowest free one first; a test names the
// next one with "set /dev/mcc/ctl next-timeslot <channel>".

#include "emulator/device_model.h"
#include "emulator/open_file.h"
#include "foundation/os/big_endian.h"

#include <cerrno>
#include <map>

namespace Emulator {

namespace {

constexpr uint32_t highest_type = 3;
constexpr int32_t first_timeslot = 256;
constexpr int32_t channel_count = 128;
constexpr long long switch_channels = 10240;

struct Channel {
    uint32_t type;
    std::string words;  // the words after the type, as the controller keeps them
    int32_t timeslot;
};

class MccChannels : public DeviceModel {
public:
    MccChannels() : DeviceModel("/dev/mcc/ctl")
    {
        using DeviceLink::Argument;
        define({0x40144D00, "MCC_ALLOCATE", Argument::record, 20, {"type", "word1", "word2", "word3", "word4"},
                [this](Call& call) { return allocate(call); }});
        define({0x20004D02, "MCC_TIMESLOT", Argument::none, 0, {}, [this](Call& call) { return timeslot(call); }});
    }

    Written write(OpenFile& file, const uint8_t* data, size_t size) override
    {
        auto found = channels_.find(file.id());
        std::string timeslot = found == channels_.end() ? "none" : std::to_string(found->second.timeslot);
        return {"frame", "file=" + std::to_string(file.id()) + " timeslot=" + timeslot + " bytes=" +
                             bytes_text(data, size)};
    }

    // One line per allocated channel: "file=<n> type=<t> timeslot=<channel> words=<w1>,<w2>,<w3>,<w4>".
    bool state(const Words& arguments, std::vector<std::string>& lines) const override
    {
        if (!arguments.empty())
            return false;
        for (const auto& [file, channel] : channels_)
            lines.push_back("file=" + std::to_string(file) + " type=" + std::to_string(channel.type) +
                            " timeslot=" + std::to_string(channel.timeslot) + " words=" + channel.words);
        return true;
    }

    // "next-timeslot <channel>": the TDM channel of the next allocation.
    bool set(const Words& arguments) override
    {
        long long channel;
        if (arguments.size() != 2 || arguments[0] != "next-timeslot" || !parse_number(arguments[1], channel) ||
            channel < 0 || channel >= switch_channels)
            return false;
        next_timeslot_ = static_cast<int32_t>(channel);
        return true;
    }

private:
    void closed(OpenFile& file) override { channels_.erase(file.id()); }

    bool taken(int32_t timeslot) const
    {
        for (const auto& entry : channels_)
            if (entry.second.timeslot == timeslot)
                return true;
        return false;
    }

    // The TDM channel for a new controller channel, or -1 when none is free.
    int32_t free_timeslot()
    {
        if (next_timeslot_ >= 0) {
            int32_t chosen = next_timeslot_;
            next_timeslot_ = -1;
            return taken(chosen) ? -1 : chosen;
        }
        for (int32_t timeslot = first_timeslot; timeslot < first_timeslot + channel_count; ++timeslot)
            if (!taken(timeslot))
                return timeslot;
        return -1;
    }

    Answer allocate(Call& call)
    {
        if (channels_.count(call.file.id()))
            return Answer::failure(EBUSY);
        uint32_t type = BigEndian::get_u32(call.record, 0);
        if (type > highest_type)
            return Answer::failure(EINVAL);
        int32_t timeslot = free_timeslot();
        if (timeslot < 0)
            return Answer::failure(ENOSPC);
        std::string words;
        for (size_t offset = 4; offset < 20; offset += 4)
            words += (words.empty() ? "" : ",") + std::to_string(BigEndian::get_i32(call.record, offset));
        channels_[call.file.id()] = {type, words, timeslot};
        return {};
    }

    Answer timeslot(Call& call)
    {
        auto found = channels_.find(call.file.id());
        if (found == channels_.end())
            return Answer::failure(EINVAL);
        return {found->second.timeslot};
    }

    std::map<int, Channel> channels_;  // by open file
    int32_t next_timeslot_ = -1;
};

const DeviceModel::Registration<MccChannels> registration;

}  // namespace

}  // namespace Emulator
