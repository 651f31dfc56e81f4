// The RTP driver "/dev/rtp". Each open may carry one RTP session: "RTP_BEGIN" takes the 44-byte
// session record (journalled field by field), "RTP_ADD_CHANNEL" gives the session its TDM channel,
// the lowest free one from 512 or the one asked for (which then moves over from a session that
// held it, as when a session is replaced), the input is started and stopped, PD events are
// enabled and disabled, "RTP_ATTACH_EXT" attaches the header-extension session that a process
// holds as a descriptor of "/dev/rtp_ext" (pid 0xFFFFFFFF: the requesting process), and three
// teardown requests stop the session, the third of them freeing its channel; closing the open
// ends it.
//
// The driver's events are 36-byte records {type, value, timeout, ...}: a test pushes them to an
// open with "push"; a PD event (type 1) reaches the daemon only while the open's session has PD
// events enabled. "state /dev/rtp" gives one line per session, with its record in hexadecimal.

#include "emulator/board.h"
#include "emulator/device_model.h"
#include "emulator/open_file.h"
#include "foundation/os/big_endian.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <map>

namespace Emulator {

namespace {

constexpr size_t record_size = 44;
constexpr uint32_t any_channel = 0xFFFFFFFF;
constexpr int32_t first_channel = 512;
constexpr int32_t channel_count = 256;
constexpr uint32_t switch_channels = 10240;
constexpr uint32_t pd_event = 1;

struct Session {
    std::array<uint8_t, record_size> record;
    int32_t channel = -1;
    int32_t bss = 0;
    bool input = false;
    std::string pd = "off";
    std::string extension = "none";
    int teardowns = 0;
};

std::string dotted(const uint8_t* bytes)
{
    return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." + std::to_string(bytes[2]) + "." +
        std::to_string(bytes[3]);
}

std::string record_fields(const uint8_t* record)
{
    using BigEndian::get_u16;
    using BigEndian::get_u32;
    return "remote=" + dotted(record) + ":" + std::to_string(get_u16(record, 4)) + " local=" + dotted(record + 8) +
        ":" + std::to_string(get_u16(record, 12)) + " rx-pt=" + std::to_string(get_u16(record, 14)) +
        " tx-pt=" + std::to_string(get_u16(record, 16)) + " pfactor=" + std::to_string(get_u16(record, 18)) +
        " vad=" + std::to_string(record[20]) + " crate=" + std::to_string(record[21]) +
        " ssrc=" + code_text(get_u32(record, 24)) + " ttl=" + std::to_string(get_u32(record, 36)) +
        " tos=" + code_text(get_u32(record, 40));
}

class RtpSessions;
RtpSessions* sessions_model = nullptr;

class RtpSessions : public DeviceModel {
public:
    RtpSessions() : DeviceModel("/dev/rtp")
    {
        sessions_model = this;
        using DeviceLink::Argument;
        define(
            {0xC02C5200, "RTP_BEGIN", Argument::record, record_size, {}, [this](Call& call) { return begin(call); }});
        define({0xC0105202,
                "RTP_ADD_CHANNEL",
                Argument::record,
                16,
                {"channel", "word1", "word2", "bss"},
                [this](Call& call) { return add_channel(call); }});
        define({0x2000520A, "RTP_TEARDOWN_1", Argument::none, 0, {}, [this](Call& call) { return teardown(call); }});
        define({0x20005203, "RTP_TEARDOWN_2", Argument::none, 0, {}, [this](Call& call) { return teardown(call); }});
        define({0x2000520B, "RTP_TEARDOWN_3", Argument::none, 0, {}, [this](Call& call) { return teardown(call); }});
        define({0x20005204, "RTP_START_INPUT", Argument::none, 0, {}, [this](Call& call) {
                    return change(call, [](Session& session) { session.input = true; });
                }});
        define({0x20005205, "RTP_STOP_INPUT", Argument::none, 0, {}, [this](Call& call) {
                    return change(call, [](Session& session) { session.input = false; });
                }});
        define({0xC0085209, "RTP_ATTACH_EXT", Argument::record, 8, {"fd", "pid"}, [this](Call& call) {
                    return attach(call);
                }});
        define({0xC024520C,
                "RTP_PD_ENABLE",
                Argument::record,
                36,
                {"type", "value", "timeout", "word3", "word4", "timeout2", "word6", "word7", "word8"},
                [this](Call& call) {
                    std::string timeout = std::to_string(BigEndian::get_i32(call.record, 8));
                    return change(call, [&timeout](Session& session) { session.pd = timeout; });
                }});
        define({0x8004520D, "RTP_PD_DISABLE", Argument::value, 0, {}, [this](Call& call) {
                    call.fields = "file=" + std::to_string(call.file.id()) + " argument=" + std::to_string(call.value);
                    return change(call, [](Session& session) { session.pd = "off"; });
                }});
    }
    ~RtpSessions() override { sessions_model = nullptr; }

    // "file=<n> channel=<c> bss=<b> input=on|off pd=off|<timeout> ext=none|file=<n> teardowns=<n>
    // record=<hex>"
    bool state(const Words& arguments, std::vector<std::string>& lines) const override
    {
        if (!arguments.empty())
            return false;
        for (const auto& [file, session] : sessions_)
            lines.push_back("file=" + std::to_string(file) + " channel=" + std::to_string(session.channel) +
                            " bss=" + std::to_string(session.bss) + " input=" + (session.input ? "on" : "off") +
                            " pd=" + session.pd + " ext=" + session.extension +
                            " teardowns=" + std::to_string(session.teardowns) +
                            " record=" + bytes_text(session.record.data(), record_size));
        return true;
    }

    bool raises(const OpenFile& file, const std::vector<uint8_t>& record) const override
    {
        if (record.size() < 4 || BigEndian::get_u32(record.data(), 0) != pd_event)
            return true;
        auto found = sessions_.find(file.id());
        return found != sessions_.end() && found->second.pd != "off";
    }

    // The record that began the session of the open, for the header-extension model; null when none.
    const uint8_t* record(int file) const
    {
        auto found = sessions_.find(file);
        return found == sessions_.end() ? nullptr : found->second.record.data();
    }

private:
    void closed(OpenFile& file) override { sessions_.erase(file.id()); }

    Session* session(const Call& call)
    {
        auto found = sessions_.find(call.file.id());
        return found == sessions_.end() ? nullptr : &found->second;
    }

    template <class Change> Answer change(Call& call, Change change)
    {
        if (call.fields.empty() && call.size == 0)
            call.fields = "file=" + std::to_string(call.file.id());
        Session* found = session(call);
        if (!found)
            return Answer::failure(EINVAL);
        change(*found);
        return {};
    }

    Answer begin(Call& call)
    {
        call.fields = "file=" + std::to_string(call.file.id()) + " " + record_fields(call.record);
        if (session(call))
            return Answer::failure(EBUSY);
        std::copy_n(call.record, record_size, sessions_[call.file.id()].record.begin());
        return {};
    }

    bool taken(int32_t channel) const
    {
        for (const auto& entry : sessions_)
            if (entry.second.channel == channel)
                return true;
        return false;
    }

    Answer add_channel(Call& call)
    {
        Session* found = session(call);
        if (!found)
            return Answer::failure(EINVAL);
        if (found->channel >= 0)
            return Answer::failure(EBUSY);
        uint32_t asked = BigEndian::get_u32(call.record, 0);
        int32_t channel = -1;
        if (asked == any_channel) {
            for (int32_t candidate = first_channel; channel < 0 && candidate < first_channel + channel_count;
                 ++candidate)
                if (!taken(candidate))
                    channel = candidate;
            if (channel < 0)
                return Answer::failure(ENOSPC);
        } else if (asked < switch_channels) {
            channel = static_cast<int32_t>(asked);
            for (auto& entry : sessions_)
                if (entry.second.channel == channel)
                    entry.second.channel = -1;
        } else {
            return Answer::failure(EINVAL);
        }
        found->channel = channel;
        found->bss = BigEndian::get_i32(call.record, 12);
        BigEndian::put_i32(call.record, 0, channel);
        call.note = "channel=" + std::to_string(channel);
        return {};
    }

    Answer teardown(Call& call)
    {
        call.fields = "file=" + std::to_string(call.file.id());
        Session* found = session(call);
        if (!found)
            return Answer::failure(EINVAL);
        // The third request frees the channel; the session itself goes with the driver's close.
        if (++found->teardowns == 3)
            found->channel = -1;
        return {};
    }

    Answer attach(Call& call)
    {
        Session* found = session(call);
        if (!found)
            return Answer::failure(EINVAL);
        OpenFile* extension =
            Board::descriptor_file(BigEndian::get_u32(call.record, 4), BigEndian::get_u32(call.record, 0));
        if (!extension || extension->driver().path != "/dev/rtp_ext")
            return Answer::failure(EBADF);
        found->extension = "file=" + std::to_string(extension->id());
        call.note = "ext=" + found->extension;
        return {};
    }

    std::map<int, Session> sessions_;  // by open file
};

const DeviceModel::Registration<RtpSessions> registration;

}  // namespace

const uint8_t* rtp_session_record(int file) { return sessions_model ? sessions_model->record(file) : nullptr; }

}  // namespace Emulator
