// The DSP modem control device "/dev/mctl". An open enumerates the modems (each request gives the
// index after the one passed, -1 to begin, ENODEV after the last), allocates the lowest free one
// (EBUSY when none is left or the open holds one already), and asks for its TDM channel (480 +
// index). Requests on a modem name its index, which must be the one the open holds (else EINVAL):
// the data modes, the reset of its parameters, one parameter, and the start of a call (answer,
// originate, fax-originate). Integers travel by value, records as 32-bit words.
//
// Closing the open (its last duplicate) frees its modem, whatever the program on its data device
// "/dev/mdm<n>" does: the open holds the modem for the call, a fax program's as pppd's.
//
// "set /dev/mctl modems <n>" fits n modems (0 to 8) while none is in use; "state /dev/mctl" gives
// one line per modem: "modem=<n> free", or "modem=<n> file=<id> timeslot=<channel> modes=<mask>
// parameters=<offset>:<value>,... call=<call>".

#include "emulator/device_model.h"
#include "emulator/modem_pool.h"
#include "emulator/open_file.h"
#include "foundation/os/big_endian.h"

#include <algorithm>
#include <cerrno>

namespace Emulator {

namespace {

class ModemControl : public DeviceModel {
public:
    ModemControl() : DeviceModel("/dev/mctl")
    {
        using DeviceLink::Argument;
        define({0xBB0B, "allocate", Argument::value, 0, {"arg"}, [this](Call& call) { return allocate(call); }});
        define({0xBB0C, "enumerate", Argument::value, 0, {"previous"},
                [this](Call& call) { return enumerate(call); }});
        define({0xBB15, "timeslot", Argument::value, 0, {"arg"}, [this](Call& call) { return timeslot(call); }});
        define({0xBB16, "data-modes", Argument::record, 8, {"modem", "modes"}, [this](Call& call) {
                    return configure(call, [&call](Modem& modem) { modem.modes = BigEndian::get_u32(call.record, 4); });
                }});
        define({0xBB3A, "reset-parameters", Argument::record, 8, {"modem", "arg"}, [this](Call& call) {
                    return configure(call, [](Modem& modem) { modem.parameters.clear(); });
                }});
        define({0xBB38, "parameter", Argument::record, 12, {"modem", "offset", "value"}, [this](Call& call) {
                    return configure(call, [&call](Modem& modem) {
                        modem.parameters[BigEndian::get_i32(call.record, 4)] = BigEndian::get_i32(call.record, 8);
                    });
                }});
        for (auto [code, name] : {std::pair{0xBB03u, "answer"}, {0xBB04u, "originate"}, {0xBB40u, "fax-originate"}})
            define({code, name, Argument::record, 8, {"modem", "arg"}, [this, name = std::string(name)](Call& call) {
                        return configure(call, [&name](Modem& modem) { modem.call = name; });
                    }});
    }

    bool state(const Words& arguments, std::vector<std::string>& lines) const override
    {
        if (!arguments.empty())
            return false;
        const std::vector<Modem>& modems = ModemPool::instance().modems;
        for (size_t index = 0; index < modems.size(); ++index) {
            const Modem& modem = modems[index];
            std::string line = "modem=" + std::to_string(index);
            if (modem.free()) {
                lines.push_back(line + " free");
                continue;
            }
            std::string parameters;
            for (const auto& [offset, value] : modem.parameters)
                parameters += (parameters.empty() ? "" : ",") + std::to_string(offset) + ':' + std::to_string(value);
            lines.push_back(line + " file=" + std::to_string(modem.file) +
                            " timeslot=" + std::to_string(ModemPool::first_timeslot + index) +
                            " modes=" + std::to_string(modem.modes) + " parameters=" + parameters +
                            " call=" + modem.call);
        }
        return true;
    }

    bool set(const Words& arguments) override
    {
        std::vector<Modem>& modems = ModemPool::instance().modems;
        long long count;
        if (arguments.size() != 2 || arguments[0] != "modems" || !parse_number(arguments[1], count) || count < 0 ||
            count > static_cast<long long>(ModemPool::capacity) ||
            !std::all_of(modems.begin(), modems.end(), [](const Modem& modem) { return modem.free(); }))
            return false;
        modems.assign(static_cast<size_t>(count), Modem());
        return true;
    }

private:
    // The modem the open holds, or null.
    static Modem* held(const OpenFile& file)
    {
        for (Modem& modem : ModemPool::instance().modems)
            if (modem.file == file.id())
                return &modem;
        return nullptr;
    }

    void closed(OpenFile& file) override
    {
        if (Modem* modem = held(file))
            *modem = Modem();
    }

    Answer allocate(Call& call)
    {
        std::vector<Modem>& modems = ModemPool::instance().modems;
        auto free = std::find_if(modems.begin(), modems.end(), [](const Modem& modem) { return modem.free(); });
        if (held(call.file) || free == modems.end())
            return Answer::failure(EBUSY);
        free->file = call.file.id();
        return {static_cast<int>(free - modems.begin())};
    }

    Answer enumerate(Call& call)
    {
        long long next = static_cast<long long>(static_cast<int32_t>(call.value)) + 1;
        if (next < 0 || next >= static_cast<long long>(ModemPool::instance().modems.size()))
            return Answer::failure(ENODEV);
        return {static_cast<int>(next)};
    }

    Answer timeslot(Call& call)
    {
        const Modem* modem = held(call.file);
        if (!modem)
            return Answer::failure(EINVAL);
        return {ModemPool::first_timeslot + static_cast<int>(modem - ModemPool::instance().modems.data())};
    }

    template <class Change>
    Answer configure(Call& call, Change change)
    {
        Modem* modem = held(call.file);
        if (!modem || BigEndian::get_i32(call.record, 0) != modem - ModemPool::instance().modems.data())
            return Answer::failure(EINVAL);
        change(*modem);
        return {};
    }
};

const DeviceModel::Registration<ModemControl> registration;

}  // namespace

}  // namespace Emulator
