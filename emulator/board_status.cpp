// The board's own status on "/dev/hal": the eight framer LEDs, the DIP switch and the power
// supplies, each request passing one byte. The LED request hands the driver the LED byte; the DIP
// and power requests have the driver fill the byte in. The board starts with its LEDs dark, the
// DIP switch at 0 and the raw power state 0; a test sets what the driver reports with
// "set /dev/hal dip <0-255>" and "set /dev/hal power <0-255>", and "state /dev/hal status" gives
// "leds=<byte> dip=<byte> power=<byte>".

#include "emulator/device_model.h"

#include <cstdint>

namespace Emulator {

namespace {

class BoardStatus : public DeviceModel {
public:
    BoardStatus() : DeviceModel("/dev/hal")
    {
        using DeviceLink::Argument;
        define({0xC0014207, "leds", Argument::record, 1, {}, [this](Call& call) {
                    leds_ = call.record[0];
                    call.fields = "leds=" + std::to_string(leds_);
                    return Answer{};
                }});
        define({0xC0014205, "dip", Argument::record, 1, {}, [this](Call& call) { return report(call, dip_); }});
        define({0xC0014206, "power", Argument::record, 1, {}, [this](Call& call) { return report(call, power_); }});
    }

    // Like the clock select, it adds nothing to the device's full state, which stays the switch's.
    bool state(const Words& arguments, std::vector<std::string>& lines) const override
    {
        if (arguments.empty())
            return true;
        if (arguments != Words{"status"})
            return false;
        lines.push_back("leds=" + std::to_string(leds_) + " dip=" + std::to_string(dip_) +
                        " power=" + std::to_string(power_));
        return true;
    }

    bool set(const Words& arguments) override
    {
        long long value;
        if (arguments.size() != 2 || (arguments[0] != "dip" && arguments[0] != "power") ||
            !parse_number(arguments[1], value) || value < 0 || value > 255)
            return false;
        (arguments[0] == "dip" ? dip_ : power_) = static_cast<uint8_t>(value);
        return true;
    }

private:
    static Answer report(Call& call, uint8_t value)
    {
        call.record[0] = value;
        call.note = "byte=" + std::to_string(value);
        return {};
    }

    uint8_t leds_ = 0;
    uint8_t dip_ = 0;
    uint8_t power_ = 0;
};

const DeviceModel::Registration<BoardStatus> registration;

}  // namespace

}  // namespace Emulator
