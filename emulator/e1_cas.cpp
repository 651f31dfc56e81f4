// The CAS driver "/dev/e1-cas": channel-associated signalling on the four E1 trunks. CAS is opened
// on a trunk, then on single time slots (1 to 31 but 16, which carries the signalling itself);
// each open time slot has the four bits it transmits (tx, set by the daemon) and the bits it
// receives (rx, set by the test with "set /dev/e1-cas rx <trunk> <timeslot> <bits>"). Closing a
// trunk closes its time slots. The driver reports every change of the received bits of an open
// time slot as a 12-byte record {trunk, time slot, rx, tx} that the daemon reads from its latest
// open of the device; "push /dev/e1-cas <hex>" sends any record.

#include "emulator/device_model.h"
#include "emulator/open_file.h"
#include "foundation/os/big_endian.h"

#include <array>
#include <cerrno>

namespace Emulator {

namespace {

constexpr long long trunk_count = 4;
constexpr long long timeslot_count = 32;
constexpr uint32_t signalling_timeslot = 16;

struct Channel {
    bool open = false;
    uint8_t rx = 0;
    uint8_t tx = 0;
};

struct Trunk {
    bool open = false;
    std::array<Channel, timeslot_count> channels{};
};

class E1Cas : public DeviceModel {
public:
    E1Cas() : DeviceModel("/dev/e1-cas")
    {
        using DeviceLink::Argument;
        define({0x80044300, "trunk-open", Argument::value, 0, {"trunk"},
                [this](Call& call) { return open_trunk(call); }});
        define({0x80044301, "trunk-close", Argument::value, 0, {"trunk"},
                [this](Call& call) { return close_trunk(call); }});
        define({0xC00C4302, "set", Argument::record, 12, {"trunk", "timeslot"},
                [this](Call& call) { return set_bits(call); }});
        define({0xC00C4303, "get", Argument::record, 12, {"trunk", "timeslot"},
                [this](Call& call) { return get_bits(call); }});
        define({0xC0104304, "channel", Argument::record, 16, {"trunk", "timeslot"},
                [this](Call& call) { return open_or_close(call); }});
    }

    // "trunk=<n> open" per open trunk, each followed by "trunk=<n> timeslot=<t> rx=<r> tx=<x>"
    // per open time slot.
    bool state(const Words& arguments, std::vector<std::string>& lines) const override
    {
        if (!arguments.empty())
            return false;
        for (long long trunk = 0; trunk < trunk_count; ++trunk) {
            if (!trunks_[trunk].open)
                continue;
            lines.push_back("trunk=" + std::to_string(trunk) + " open");
            for (long long timeslot = 0; timeslot < timeslot_count; ++timeslot) {
                const Channel& channel = trunks_[trunk].channels[timeslot];
                if (channel.open)
                    lines.push_back("trunk=" + std::to_string(trunk) + " timeslot=" + std::to_string(timeslot) +
                                    " rx=" + std::to_string(channel.rx) + " tx=" + std::to_string(channel.tx));
            }
        }
        return true;
    }

    // "rx <trunk> <timeslot> <bits>": what the far end signals on a time slot, open or not; a
    // change on an open time slot is reported to the daemon.
    bool set(const Words& arguments) override
    {
        long long trunk, timeslot, bits;
        if (arguments.size() != 4 || arguments[0] != "rx" || !parse_number(arguments[1], trunk) || trunk < 0 ||
            trunk >= trunk_count || !parse_number(arguments[2], timeslot) || timeslot < 1 ||
            timeslot >= timeslot_count || !parse_number(arguments[3], bits) || bits < 0 || bits > 15)
            return false;
        Channel& channel = trunks_[trunk].channels[timeslot];
        bool changed = channel.rx != bits;
        channel.rx = static_cast<uint8_t>(bits);
        OpenFile* file = latest_file();
        if (changed && channel.open && file) {
            std::vector<uint8_t> record(12, 0);
            BigEndian::put_u32(record.data(), 0, static_cast<uint32_t>(trunk));
            BigEndian::put_u32(record.data(), 4, static_cast<uint32_t>(timeslot));
            record[8] = channel.rx;
            record[9] = channel.tx;
            file->push(std::move(record));
        }
        return true;
    }

private:
    Trunk* trunk(uint32_t number) { return number < trunk_count ? &trunks_[number] : nullptr; }

    // The open time slot a record names, or none.
    Channel* channel(const Call& call)
    {
        Trunk* named = trunk(BigEndian::get_u32(call.record, 0));
        uint32_t timeslot = BigEndian::get_u32(call.record, 4);
        if (!named || timeslot >= timeslot_count || !named->channels[timeslot].open)
            return nullptr;
        return &named->channels[timeslot];
    }

    Answer open_trunk(Call& call)
    {
        Trunk* named = trunk(call.value);
        if (!named)
            return Answer::failure(EINVAL);
        named->open = true;
        return {};
    }

    Answer close_trunk(Call& call)
    {
        Trunk* named = trunk(call.value);
        if (!named || !named->open)
            return Answer::failure(EINVAL);
        named->open = false;
        for (Channel& channel : named->channels)
            channel.open = false;
        return {};
    }

    // Operation 0 opens the time slot transmitting the record's tx bits, 1 closes it.
    Answer open_or_close(Call& call)
    {
        uint32_t operation = BigEndian::get_u32(call.record, 12);
        uint8_t tx = call.record[9] & 0xF;
        if (operation == 0)
            call.note = "open tx=" + std::to_string(tx);
        else
            call.note = operation == 1 ? "close" : "operation=" + std::to_string(operation);
        Trunk* named = trunk(BigEndian::get_u32(call.record, 0));
        uint32_t timeslot = BigEndian::get_u32(call.record, 4);
        if (!named || !named->open || timeslot == 0 || timeslot == signalling_timeslot || timeslot >= timeslot_count)
            return Answer::failure(EINVAL);
        Channel& target = named->channels[timeslot];
        if (operation == 0) {
            target.open = true;
            target.tx = tx;
            return {};
        }
        if (operation != 1 || !target.open)
            return Answer::failure(EINVAL);
        target.open = false;
        return {};
    }

    Answer set_bits(Call& call)
    {
        uint8_t tx = call.record[9] & 0xF;
        call.note = "tx=" + std::to_string(tx);
        Channel* target = channel(call);
        if (!target)
            return Answer::failure(EINVAL);
        target->tx = tx;
        return {};
    }

    Answer get_bits(Call& call)
    {
        Channel* target = channel(call);
        if (!target)
            return Answer::failure(EINVAL);
        call.record[8] = target->rx;
        call.record[9] = target->tx;
        call.note = "rx=" + std::to_string(target->rx) + " tx=" + std::to_string(target->tx);
        return {};
    }

    std::array<Trunk, trunk_count> trunks_{};
};

const DeviceModel::Registration<E1Cas> registration;

}  // namespace

}  // namespace Emulator
