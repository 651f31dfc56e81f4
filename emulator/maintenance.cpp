// The E1 maintenance device "/dev/maintenance": the synchronisation status of the four trunks
// and the transmit-clock (TCLK) mask. A status request carries the trunk in an 80-byte record
// and gets the trunk's counters and state filled in; a test sets them with
// "set /dev/maintenance trunk <n> <field>=<value> ..." (fields state, slips, lossBF,
// lossCarrier, lossAIS, lossRAI; all 0 at start, state 0 being normal).

#include "emulator/device_model.h"
#include "foundation/os/big_endian.h"

#include <array>
#include <cerrno>

namespace Emulator {

namespace {

constexpr long long trunk_count = 4;

// The status fields in the order of the record, with their offsets.
struct Field {
    const char* name;
    size_t offset;
};
constexpr std::array<Field, 6> fields{{
    {"state", 76},
    {"slips", 36},
    {"lossBF", 40},
    {"lossCarrier", 44},
    {"lossAIS", 48},
    {"lossRAI", 52},
}};

using TrunkStatus = std::array<uint32_t, fields.size()>;

class Maintenance : public DeviceModel {
public:
    Maintenance() : DeviceModel("/dev/maintenance")
    {
        using DeviceLink::Argument;
        define({0xC0504D03, "trunk-status", Argument::record, 80, {"trunk"},
                [this](Call& call) { return status(call); }});
        define({0xC0044D0B, "tclk", Argument::value, 0, {"mask"}, [this](Call& call) { return tclk(call); }});
    }

    // "trunk=<n> state=<s> slips=<n> ..." per trunk, then "tclk=<mask>".
    bool state(const Words& arguments, std::vector<std::string>& lines) const override
    {
        if (!arguments.empty())
            return false;
        for (long long trunk = 0; trunk < trunk_count; ++trunk) {
            std::string line = "trunk=" + std::to_string(trunk);
            for (size_t i = 0; i < fields.size(); ++i)
                line += std::string(" ") + fields[i].name + '=' + std::to_string(trunks_[trunk][i]);
            lines.push_back(line);
        }
        lines.push_back("tclk=" + std::to_string(tclk_));
        return true;
    }

    bool set(const Words& arguments) override
    {
        long long trunk;
        if (arguments.size() < 3 || arguments[0] != "trunk" || !parse_number(arguments[1], trunk) || trunk < 0 ||
            trunk >= trunk_count)
            return false;
        TrunkStatus status = trunks_[trunk];
        for (size_t word = 2; word < arguments.size(); ++word) {
            size_t equals = arguments[word].find('=');
            long long value;
            size_t field = 0;
            while (field < fields.size() && arguments[word].compare(0, equals, fields[field].name) != 0)
                ++field;
            if (equals == std::string::npos || field == fields.size() ||
                !parse_number(arguments[word].substr(equals + 1), value) || value < 0 || value > 0xFFFFFFFFLL)
                return false;
            status[field] = static_cast<uint32_t>(value);
        }
        trunks_[trunk] = status;
        return true;
    }

private:
    Answer status(Call& call)
    {
        uint32_t trunk = BigEndian::get_u32(call.record, 0);
        if (trunk >= trunk_count)
            return Answer::failure(EINVAL);
        for (size_t i = 0; i < fields.size(); ++i)
            BigEndian::put_u32(call.record, fields[i].offset, trunks_[trunk][i]);
        return {};
    }

    Answer tclk(Call& call)
    {
        tclk_ = call.value;
        return {};
    }

    std::array<TrunkStatus, trunk_count> trunks_{};
    uint32_t tclk_ = 0;
};

const DeviceModel::Registration<Maintenance> registration;

}  // namespace

}  // namespace Emulator
