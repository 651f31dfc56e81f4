// The board's power supplies, DIP switch and framer LEDs, reached through "/dev/hal" with one
// byte each: the driver fills in the raw power state (0 both supplies, 1 standby, 2 main, 3 both)
// and the switch value, and takes the LED byte. A test sets what the board shows with
// "set /dev/hal power <0..255>" and "set /dev/hal dip <0..255>", or "none" for a board without
// that sensor, whose request then fails with ENODEV; it reads the LEDs with "state /dev/hal leds",
// and "state /dev/hal sensors" shows all three. The monitoring service polls power and DIP every
// two seconds, so these requests stay out of the journal.

#include "emulator/device_model.h"

#include <cerrno>
#include <cstdint>

namespace Emulator {

namespace {

class BoardSensors : public DeviceModel {
public:
    BoardSensors() : DeviceModel("/dev/hal")
    {
        using DeviceLink::Argument;
        define({0xC0014205, "dip", Argument::record, 1, {}, [this](Call& call) { return report(call, dip_); }});
        define({0xC0014206, "power", Argument::record, 1, {}, [this](Call& call) { return report(call, power_); }});
        define({0xC0014207, "leds", Argument::record, 1, {}, [this](Call& call) {
                    leds_ = call.record[0];
                    return Answer{0, 0, false};
                }});
    }

    bool state(const Words& arguments, std::vector<std::string>& lines) const override
    {
        if (arguments.empty())
            return true;
        if (arguments == Words{"leds"})
            lines.push_back(std::to_string(leds_));
        else if (arguments == Words{"sensors"})
            lines.push_back("power=" + shown(power_) + " dip=" + shown(dip_) + " leds=" + std::to_string(leds_));
        else
            return false;
        return true;
    }

    bool set(const Words& arguments) override
    {
        long long value = none;
        if (arguments.size() != 2 || (arguments[0] != "power" && arguments[0] != "dip") ||
            (arguments[1] != "none" && (!parse_number(arguments[1], value) || value < 0 || value > 255)))
            return false;
        (arguments[0] == "power" ? power_ : dip_) = static_cast<int>(value);
        return true;
    }

private:
    static constexpr int none = -1;

    static Answer report(Call& call, int value)
    {
        if (value == none)
            return Answer{-1, ENODEV, false};
        call.record[0] = static_cast<uint8_t>(value);
        return Answer{0, 0, false};
    }
    static std::string shown(int value) { return value == none ? "none" : std::to_string(value); }

    int power_ = 0;
    int dip_ = 0;
    uint8_t leds_ = 0;
};

const DeviceModel::Registration<BoardSensors> registration;

}  // namespace

}  // namespace Emulator
