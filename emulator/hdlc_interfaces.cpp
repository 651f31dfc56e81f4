// The board's generic-HDLC network interfaces "hdlc0" to "hdlc7", as far as the board's driver
// answers for them: their settings request SIOCWANDEV (0x894A), which the daemon's interface
// requests bring here as a request on the device named like the interface, with the record
// {settings type, size, buffer of 128 bytes}. IF_GET_IFACE (1) reports the interface's TDM channel
// in the word at byte 12 of the buffer (ENOBUFS for a buffer too small to hold it); IF_PROTO_HDLC
// (0x2000) and IF_PROTO_PPP (0x2001) switch the framing. The interfaces themselves (index, flags)
// are the host's.
//
// "set hdlc<n> timeslot <channel>" (1 + n unless set); "state hdlc<n>": "proto=<hdlc|ppp>
// timeslot=<channel>".

#include "emulator/device_model.h"
#include "foundation/os/big_endian.h"

#include <cerrno>
#include <string>
#include <tuple>
#include <utility>

namespace Emulator {

namespace {

constexpr uint32_t get_iface = 1;
constexpr uint32_t proto_hdlc = 0x2000;
constexpr uint32_t proto_ppp = 0x2001;
constexpr size_t buffer_offset = 8;
constexpr size_t channel_offset = 12;
constexpr long long switch_channels = 10240;

std::string type_text(uint32_t type)
{
    switch (type) {
    case get_iface: return "IF_GET_IFACE";
    case proto_hdlc: return "IF_PROTO_HDLC";
    case proto_ppp: return "IF_PROTO_PPP";
    default: return code_text(type);
    }
}

template <size_t Index>
class HdlcInterface : public DeviceModel {
public:
    HdlcInterface() : DeviceModel("hdlc" + std::to_string(Index))
    {
        define({0x894A, "SIOCWANDEV", DeviceLink::Argument::record, DeviceLink::interface_record, {},
                [this](Call& call) { return settings(call); }});
    }

    bool state(const Words& arguments, std::vector<std::string>& lines) const override
    {
        if (!arguments.empty())
            return false;
        lines.push_back(std::string("proto=") + (ppp_ ? "ppp" : "hdlc") + " timeslot=" + std::to_string(timeslot_));
        return true;
    }

    bool set(const Words& arguments) override
    {
        long long channel;
        if (arguments.size() != 2 || arguments[0] != "timeslot" || !parse_number(arguments[1], channel) ||
            channel < 0 || channel >= switch_channels)
            return false;
        timeslot_ = static_cast<int32_t>(channel);
        return true;
    }

private:
    Answer settings(Call& call)
    {
        uint32_t type = BigEndian::get_u32(call.record, 0);
        uint32_t size = BigEndian::get_u32(call.record, 4);
        call.fields = "type=" + type_text(type) + " size=" + std::to_string(size);
        if (size > DeviceLink::interface_buffer)
            return Answer::failure(EINVAL);
        switch (type) {
        case get_iface:
            if (size < channel_offset + 4)
                return Answer::failure(ENOBUFS);
            BigEndian::put_i32(call.record, buffer_offset + channel_offset, timeslot_);
            return {};
        case proto_hdlc:
        case proto_ppp:
            ppp_ = type == proto_ppp;
            return {};
        default:
            return Answer::failure(EINVAL);
        }
    }

    bool ppp_ = false;
    int32_t timeslot_ = 1 + static_cast<int32_t>(Index);
};

template <class Indices>
struct Registrations;
template <size_t... Index>
struct Registrations<std::index_sequence<Index...>> {
    std::tuple<DeviceModel::Registration<HdlcInterface<Index>>...> each;
};

const Registrations<std::make_index_sequence<8>> registrations;

}  // namespace

}  // namespace Emulator
