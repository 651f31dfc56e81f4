// The clock select of "/dev/hal": which source the board's TDM clock follows. The driver knows
// sources 0 to 7 (4 is the free-running oscillator) and refuses any other number.

#include "emulator/device_model.h"
#include "foundation/os/big_endian.h"

#include <cerrno>

namespace Emulator {

namespace {

constexpr int32_t source_count = 8;

class ClockSelect : public DeviceModel {
public:
    ClockSelect() : DeviceModel("/dev/hal")
    {
        define({0x80044301, "clock-select", DeviceLink::Argument::record, 4, {"source"},
                [this](Call& call) { return select(call); }});
    }

    // "state /dev/hal clock": "clock-source=<n>", or "clock-source=none" before the first
    // selection. The device's full state stays the switch's.
    bool state(const Words& arguments, std::vector<std::string>& lines) const override
    {
        if (arguments.empty())
            return true;
        if (arguments != Words{"clock"})
            return false;
        lines.push_back("clock-source=" + (source_ < 0 ? std::string("none") : std::to_string(source_)));
        return true;
    }

private:
    Answer select(Call& call)
    {
        int32_t source = BigEndian::get_i32(call.record, 0);
        if (source < 0 || source >= source_count)
            return Answer::failure(EINVAL);
        source_ = source;
        return {};
    }

    int32_t source_ = -1;
};

const DeviceModel::Registration<ClockSelect> registration;

}  // namespace

}  // namespace Emulator
