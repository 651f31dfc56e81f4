// The voice driver "/dev/voice": how many channels the board offers for each codec (request
// 0x40045602, the codec code passed by value, the count as the result; an unknown code fails with
// EINVAL), and the driver's information record of five words (request 0x4014560A, filled in).
//
// The board offers no channels and the record is all zero until a test sets a count with
// "set /dev/voice channels <codec> <count>" and the record with "set /dev/voice info <w0> <w1> <w2>
// <w3> <w4>"; "state /dev/voice" shows both.

#include "emulator/device_model.h"
#include "foundation/os/big_endian.h"

#include <array>
#include <cerrno>
#include <map>

namespace Emulator {

namespace {

class Voice : public DeviceModel {
public:
    Voice() : DeviceModel("/dev/voice")
    {
        using DeviceLink::Argument;
        define({0x40045602, "channels", Argument::value, 0, {"codec"}, [this](Call& call) { return channels(call); }});
        define({0x4014560A, "info", Argument::record, 20, {"w0", "w1", "w2", "w3", "w4"},
                [this](Call& call) { return info(call); }});
    }

    // "codec=<code> channels=<count>" per codec, then "info=<w0>,<w1>,<w2>,<w3>,<w4>".
    bool state(const Words& arguments, std::vector<std::string>& lines) const override
    {
        if (!arguments.empty())
            return false;
        for (const auto& [codec, count] : channels_)
            lines.push_back("codec=" + std::to_string(codec) + " channels=" + std::to_string(count));
        std::string words;
        for (int32_t word : info_)
            words += (words.empty() ? "" : ",") + std::to_string(word);
        lines.push_back("info=" + words);
        return true;
    }

    bool set(const Words& arguments) override
    {
        std::vector<long long> numbers(arguments.size() - (arguments.empty() ? 0 : 1));
        for (size_t i = 0; i < numbers.size(); ++i)
            if (!parse_number(arguments[i + 1], numbers[i]) || numbers[i] < INT32_MIN || numbers[i] > INT32_MAX)
                return false;
        if (arguments.size() == 3 && arguments[0] == "channels") {
            channels_[static_cast<int32_t>(numbers[0])] = static_cast<int32_t>(numbers[1]);
            return true;
        }
        if (arguments.size() == 1 + info_.size() && arguments[0] == "info") {
            std::copy(numbers.begin(), numbers.end(), info_.begin());
            return true;
        }
        return false;
    }

private:
    Answer channels(Call& call)
    {
        auto found = channels_.find(static_cast<int32_t>(call.value));
        return found == channels_.end() ? Answer::failure(EINVAL) : Answer{found->second};
    }

    Answer info(Call& call)
    {
        for (size_t i = 0; i < info_.size(); ++i)
            BigEndian::put_i32(call.record, 4 * i, info_[i]);
        return {};
    }

    // By codec code: G.711 (1), G.723 (2), G.729 (4), G.711 on the channel controller (8), universal (65).
    std::map<int32_t, int32_t> channels_{{1, 0}, {2, 0}, {4, 0}, {8, 0}, {65, 0}};
    std::array<int32_t, 5> info_{};
};

const DeviceModel::Registration<Voice> registration;

}  // namespace

}  // namespace Emulator
