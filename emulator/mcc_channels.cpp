// The multi-channel HDLC controller "/dev/mcc/ctl". Each open may allocate one controller channel:
// "MCC_ALLOCATE" takes the channel type (0 data, 1 BRI, 2 transparent, 3 SS7) and four words the
// controller keeps (packet size, reserved, receive and transmit thresholds); "MCC_TIMESLOT"
// answers the TDM switch channel that carries the controller channel. Closing the open frees its
// channel.
//
// Frame channels carry one frame per read and write: what the daemon writes is journalled as
// "frame" with its bytes, and a test sends frames with "push", holds the daemon's frames back with
// "stall" and "drain", and ends the channel with "eof".
//
// Transparent channels carry the time slot's octets at the line rate, 8000 octets a second unless
// a test sets another with "set /dev/mcc/ctl rate <octets per second>". What the daemon writes is
// taken one record at a time, each once the one before has been played out, journalled as "data"
// and captured in "<root>/dev/mcc-capture-<time slot>" (emptied when a channel is allocated on that
// time slot; "state /dev/mcc/ctl capture <time slot>" gives it in hexadecimal). The daemon's end
// holds little more than one record, so that its writes wait for the line as on the board. A test
// feeds octets that arrive on the time slot with "set /dev/mcc/ctl feed <time slot> <hex>": the
// daemon reads them in packets of the channel's packet size, each once it has arrived.
//
// Controller channels sit on TDM channels 256 to 383, the lowest free one first; a test names the
// next one with "set /dev/mcc/ctl next-timeslot <channel>". A board description gives the controller
// its channels of each kind with "set /dev/mcc/ctl channels <data> <bri> <transparent>" (SS7 channels
// are data channels): an allocation beyond them fails with ENOSPC, and the channel-count request
// answers how many of each are free. Without it the kinds are not counted and the request answers 0.
//
// A test taps a frame channel by the line channel the switch joins it to (see frame_taps.h).

#include "emulator/device_model.h"
#include "emulator/frame_taps.h"
#include "emulator/open_file.h"
#include "emulator/tdm_routes.h"
#include "foundation/os/big_endian.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <deque>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>

namespace Emulator {

namespace {

constexpr uint32_t highest_type = 3;
constexpr uint32_t bri = 1;
constexpr uint32_t transparent = 2;
constexpr size_t kinds = 3;  // data (and SS7), BRI, transparent
constexpr int32_t first_timeslot = 256;
constexpr int32_t channel_count = 128;
constexpr long long switch_channels = 10240;
constexpr long long line_rate = 8000;
// Doubled by the kernel: room for one record of the largest the daemon writes (8192 octets).
constexpr int daemon_send_buffer = 8192;

using Clock = DeviceModel::Clock;

struct Channel {
    OpenFile* file = nullptr;
    uint32_t type = 0;
    uint32_t packet = 0;  // octets per read of a transparent channel
    std::string words;    // the words after the type, as the controller keeps them
    int32_t timeslot = -1;
    // Transparent channels: what has been taken from the daemon is played out at `played`; the
    // daemon's writes are held back until then.
    bool playing = false;
    Clock::time_point played{};
    unsigned long long captured = 0;
    // Octets still to arrive on the time slot; the last packet given to the daemon arrived at `fed`.
    std::deque<uint8_t> feed;
    Clock::time_point fed{};
};

std::string capture_path(int32_t timeslot)
{
    return DeviceModel::root() + "/dev/mcc-capture-" + std::to_string(timeslot);
}

class MccChannels : public DeviceModel {
public:
    MccChannels() : DeviceModel("/dev/mcc/ctl")
    {
        using DeviceLink::Argument;
        define({0x40144D00, "MCC_ALLOCATE", Argument::record, 20, {"type", "word1", "word2", "word3", "word4"},
                [this](Call& call) { return allocate(call); }});
        define({0x20004D02, "MCC_TIMESLOT", Argument::none, 0, {}, [this](Call& call) { return timeslot(call); }});
        define({0x80104D03, "MCC_CHANNELS", Argument::record, 16, {"data", "bri", "transparent", "word3"},
                [this](Call& call) { return free_channels(call); }});
        define(taps_.request());
    }

    Written write(OpenFile& file, const uint8_t* data, size_t size) override
    {
        if (taps_.is_tap(file))
            return from_tap(file, data, size);
        auto found = channels_.find(file.id());
        std::string timeslot = found == channels_.end() ? "none" : std::to_string(found->second.timeslot);
        std::string fields = "file=" + std::to_string(file.id()) + " timeslot=" + timeslot;
        if (found == channels_.end() || found->second.type != transparent) {
            if (found != channels_.end())
                taps_.from_daemon([&](int32_t tapped) { return reaches(found->second, tapped); }, data, size);
            return {"frame", fields + " bytes=" + bytes_text(data, size)};
        }
        Channel& channel = found->second;
        std::ofstream(capture_path(channel.timeslot), std::ios::binary | std::ios::app)
            .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        channel.captured += size;
        channel.played = std::max(Clock::now(), channel.played) + line_time(size);
        channel.playing = true;
        file.hold(true);
        return {"data", fields};
    }

    // One line per allocated channel: "file=<n> type=<t> timeslot=<channel> words=<w1>,<w2>,<w3>,<w4>",
    // followed by " captured=<octets>" for a transparent channel. "capture <time slot>": the
    // capture in hexadecimal.
    bool state(const Words& arguments, std::vector<std::string>& lines) const override
    {
        long long timeslot;
        if (arguments.size() == 2 && arguments[0] == "capture" && parse_number(arguments[1], timeslot)) {
            std::ifstream in(capture_path(static_cast<int32_t>(timeslot)), std::ios::binary);
            if (!in)
                return false;
            std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            lines.push_back(bytes_text(bytes.data(), bytes.size()));
            return true;
        }
        if (!arguments.empty())
            return false;
        for (const auto& [file, channel] : channels_)
            lines.push_back("file=" + std::to_string(file) + " type=" + std::to_string(channel.type) +
                            " timeslot=" + std::to_string(channel.timeslot) + " words=" + channel.words +
                            (channel.type == transparent ? " captured=" + std::to_string(channel.captured) : ""));
        return true;
    }

    // "next-timeslot <channel>": the TDM channel of the next allocation. "rate <octets per second>":
    // the line rate of the transparent channels. "feed <time slot> <hex>": octets arriving on the
    // transparent channel of that time slot.
    bool set(const Words& arguments) override
    {
        long long number;
        if (arguments.size() == 4 && arguments[0] == "channels") {
            std::array<long long, kinds> counts;
            for (size_t kind = 0; kind < kinds; ++kind)
                if (!parse_number(arguments[1 + kind], counts[kind]) || counts[kind] < 0 || counts[kind] > channel_count)
                    return false;
            capacity_ = counts;
            return true;
        }
        if (arguments.size() < 2 || !parse_number(arguments[1], number))
            return false;
        if (arguments.size() == 2 && arguments[0] == "next-timeslot" && number >= 0 && number < switch_channels) {
            next_timeslot_ = static_cast<int32_t>(number);
            return true;
        }
        if (arguments.size() == 2 && arguments[0] == "rate" && number > 0) {
            rate_ = number;
            return true;
        }
        std::vector<uint8_t> bytes;
        Channel* channel = transparent_channel(number);
        if (arguments.size() != 3 || arguments[0] != "feed" || !channel || !parse_bytes(arguments[2], bytes))
            return false;
        if (channel->feed.empty())
            channel->fed = std::max(channel->fed, Clock::now());
        channel->feed.insert(channel->feed.end(), bytes.begin(), bytes.end());
        return true;
    }

    std::optional<Clock::time_point> due() const override
    {
        std::optional<Clock::time_point> first;
        auto consider = [&first](Clock::time_point time) {
            if (!first || time < *first)
                first = time;
        };
        for (const auto& entry : channels_) {
            const Channel& channel = entry.second;
            if (channel.playing)
                consider(channel.played);
            if (!channel.feed.empty())
                consider(next_arrival(channel));
        }
        return first;
    }

    void run_due(Clock::time_point now) override
    {
        for (auto& entry : channels_) {
            Channel& channel = entry.second;
            if (channel.playing && channel.played <= now) {
                channel.playing = false;
                channel.file->hold(false);
            }
            while (!channel.feed.empty() && next_arrival(channel) <= now) {
                channel.fed = next_arrival(channel);
                auto end = channel.feed.begin() + packet_of(channel);
                channel.file->push(std::vector<uint8_t>(channel.feed.begin(), end));
                channel.feed.erase(channel.feed.begin(), end);
            }
        }
    }

    int send_buffer() const override { return daemon_send_buffer; }

private:
    void closed(OpenFile& file) override
    {
        channels_.erase(file.id());
        taps_.closed(file);
    }

    static size_t kind_of(uint32_t type) { return type == bri || type == transparent ? type : 0; }

    size_t used(size_t kind) const
    {
        size_t count = 0;
        for (const auto& entry : channels_)
            count += kind_of(entry.second.type) == kind;
        return count;
    }

    // Whether the switch joins the channel to the line channel: the line is what it receives, or
    // where it transmits.
    static bool reaches(const Channel& channel, int32_t line)
    {
        return switch_source(line) == channel.timeslot || switch_source(channel.timeslot) == line;
    }

    Written from_tap(OpenFile& tap, const uint8_t* data, size_t size)
    {
        for (auto& entry : channels_) {
            Channel& channel = entry.second;
            if (channel.type != transparent && reaches(channel, taps_.tapped(tap))) {
                channel.file->push(std::vector<uint8_t>(data, data + size));
                return FrameTaps::written_by_tap(tap, channel.file);
            }
        }
        return FrameTaps::written_by_tap(tap, nullptr);
    }

    Answer free_channels(Call& call)
    {
        for (size_t kind = 0; kind < kinds; ++kind)
            BigEndian::put_u32(call.record, 4 * kind, capacity_ ? uint32_t((*capacity_)[kind] - used(kind)) : 0);
        BigEndian::put_u32(call.record, 12, 0);
        return {};
    }

    Clock::duration line_time(size_t octets) const
    {
        return std::chrono::duration_cast<Clock::duration>(
            std::chrono::nanoseconds(static_cast<long long>(octets) * 1000000000LL / rate_));
    }

    static size_t packet_of(const Channel& channel)
    {
        return std::min<size_t>(std::max<uint32_t>(channel.packet, 1), channel.feed.size());
    }

    Clock::time_point next_arrival(const Channel& channel) const { return channel.fed + line_time(packet_of(channel)); }

    Channel* transparent_channel(long long timeslot)
    {
        for (auto& entry : channels_)
            if (entry.second.type == transparent && entry.second.timeslot == timeslot)
                return &entry.second;
        return nullptr;
    }

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
        if (capacity_ && used(kind_of(type)) >= size_t((*capacity_)[kind_of(type)]))
            return Answer::failure(ENOSPC);
        int32_t timeslot = free_timeslot();
        if (timeslot < 0)
            return Answer::failure(ENOSPC);
        std::string words;
        for (size_t offset = 4; offset < 20; offset += 4)
            words += (words.empty() ? "" : ",") + std::to_string(BigEndian::get_i32(call.record, offset));
        Channel& channel = channels_[call.file.id()];
        channel.file = &call.file;
        channel.type = type;
        channel.packet = BigEndian::get_u32(call.record, 4);
        channel.words = words;
        channel.timeslot = timeslot;
        if (type == transparent)
            std::ofstream(capture_path(timeslot), std::ios::binary | std::ios::trunc);
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
    std::optional<std::array<long long, kinds>> capacity_;  // channels of each kind; none: not counted
    FrameTaps taps_;
    int32_t next_timeslot_ = -1;
    long long rate_ = line_rate;
};

const DeviceModel::Registration<MccChannels> registration;

}  // namespace

}  // namespace Emulator
