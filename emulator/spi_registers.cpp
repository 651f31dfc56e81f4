// The registers of the eight BRI line-interface chips, reached over SPI through "/dev/hal". A
// request carries {chip, register, data}; a read answers the register's value as its result.
// Registers start at 0; a test sets what the line shows (register 51, the line status) with
// "set /dev/hal spi <chip> <register> <value>". A board without SPI is played with "fail".

#include "emulator/device_model.h"

#include <array>
#include <cerrno>
#include <map>

namespace Emulator {

namespace {

constexpr long long chip_count = 8;

class SpiRegisters : public DeviceModel {
public:
    SpiRegisters() : DeviceModel("/dev/hal")
    {
        using DeviceLink::Argument;
        define({0xC0034203, "spi-read", Argument::record, 3, {}, [this](Call& call) { return read(call); }});
        define({0xC0034204, "spi-write", Argument::record, 3, {}, [this](Call& call) { return write_register(call); }});
    }

    // "state /dev/hal spi <chip>": "reg<n>=<value> ..." of the registers written or set, in
    // ascending order; "state /dev/hal spi <chip> <register>": the value alone.
    bool state(const Words& arguments, std::vector<std::string>& lines) const override
    {
        if (arguments.empty())
            return true;
        long long chip, reg;
        if (arguments.size() < 2 || arguments.size() > 3 || arguments[0] != "spi" ||
            !parse_number(arguments[1], chip) || chip < 0 || chip >= chip_count)
            return false;
        const std::map<int, int>& registers = chips_[chip];
        if (arguments.size() == 3) {
            if (!parse_number(arguments[2], reg) || reg < 0 || reg > 255)
                return false;
            auto found = registers.find(static_cast<int>(reg));
            lines.push_back(std::to_string(found == registers.end() ? 0 : found->second));
            return true;
        }
        std::string line;
        for (const auto& [number, value] : registers)
            line += (line.empty() ? "reg" : " reg") + std::to_string(number) + '=' + std::to_string(value);
        lines.push_back(line);
        return true;
    }

    // "spi <chip> <register> <value>"
    bool set(const Words& arguments) override
    {
        long long chip, reg, value;
        if (arguments.size() != 4 || arguments[0] != "spi" || !parse_number(arguments[1], chip) || chip < 0 ||
            chip >= chip_count || !parse_number(arguments[2], reg) || reg < 0 || reg > 255 ||
            !parse_number(arguments[3], value) || value < 0 || value > 255)
            return false;
        chips_[chip][static_cast<int>(reg)] = static_cast<int>(value);
        return true;
    }

private:
    // The journal shows the chip and register of the record, the data a write brought and the
    // value a read found.
    static std::string named(const Call& call)
    {
        return "chip=" + std::to_string(call.record[0]) + " reg=" + std::to_string(call.record[1]);
    }

    Answer read(Call& call)
    {
        call.fields = named(call);
        if (call.record[0] >= chip_count)
            return Answer::failure(EINVAL);
        const std::map<int, int>& registers = chips_[call.record[0]];
        auto found = registers.find(call.record[1]);
        int value = found == registers.end() ? 0 : found->second;
        call.note = "value=" + std::to_string(value);
        return {value};
    }

    Answer write_register(Call& call)
    {
        call.fields = named(call) + " data=" + std::to_string(call.record[2]);
        if (call.record[0] >= chip_count)
            return Answer::failure(EINVAL);
        chips_[call.record[0]][call.record[1]] = call.record[2];
        return {};
    }

    std::array<std::map<int, int>, chip_count> chips_;
};

const DeviceModel::Registration<SpiRegisters> registration;

}  // namespace

}  // namespace Emulator
