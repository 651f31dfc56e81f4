#include "slots/circuit/hdlc_modem_slot.h"

#include "slots/circuit/modem_factory.h"

#include "foundation/os/big_endian.h"
#include "foundation/os/device.h"
#include "foundation/os/fd.h"
#include "foundation/util/ext_header.h"

#include <array>
#include <cstring>
#include <iostream>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace {

// The generic-HDLC settings request and its settings types.
constexpr uint32_t wan_device_code = 0x894A;
constexpr uint32_t get_iface = 1;
constexpr uint32_t proto_hdlc = 0x2000;
constexpr uint32_t proto_ppp = 0x2001;
constexpr size_t iface_size = 128;
// Where the board's driver reports the interface's TDM channel in the IF_GET_IFACE buffer.
constexpr size_t channel_offset = 12;

// Default encoding and parity.
int set_protocol(int socket, const std::string& interface, uint32_t protocol)
{
    std::array<uint8_t, 4> settings{};
    return Device::interface_request(socket, wan_device_code, interface.c_str(), protocol, settings.data(),
                                     settings.size());
}

}  // namespace

HdlcModemSlot::HdlcModemSlot(const TERM::ModemParams& params, const std::string& interface)
    : ModemSlot(params), interfaceName(interface)
{
}

HdlcModemSlot::~HdlcModemSlot()
{
    pppd_kill();
    unbind();
    RestoreHdlc();
}

void HdlcModemSlot::unbind() { ModemFactory::instance()->ReleaseModemSlot(this); }

bool HdlcModemSlot::InitModem()
{
    if (child.pid() >= 0)
        return true;
    Fd socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (!socket)
        return started();
    std::array<uint8_t, iface_size> iface{};
    if (Device::interface_request(socket, wan_device_code, interfaceName.c_str(), get_iface, iface.data(),
                                  iface.size()) < 0) {
        std::cerr << ext::header(this) << "SIOCWANDEV/IF_GET_IFACE fail!" << std::endl;
    } else {
        channel = BigEndian::get_i32(iface.data(), channel_offset);
        if (set_protocol(socket, interfaceName, proto_ppp) < 0)
            std::cerr << ext::header(this) << "SIOCWANDEV/IF_PROTO_PPP fail!" << std::endl;
        else
            pppd_exec(interfaceName.c_str(), "/usr/local/etc/ppp/ioptions");
    }
    socket.close();
    return started();
}

void HdlcModemSlot::RestoreHdlc()
{
    Fd socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (!socket)
        return;
    ifreq request{};
    std::strncpy(request.ifr_name, interfaceName.c_str(), IFNAMSIZ - 1);
    if (ioctl(socket, SIOCGIFFLAGS, &request) < 0) {
        std::cerr << ext::header(this) << "SIOCGIFFLAGS fail!!!" << std::endl;
    } else {
        request.ifr_flags &= ~IFF_UP;
        if (ioctl(socket, SIOCSIFFLAGS, &request) < 0)
            std::cerr << ext::header(this) << "SIOCSIFFLAGS fail!!!" << std::endl;
        else if (set_protocol(socket, interfaceName, proto_hdlc) < 0)
            std::cerr << ext::header(this) << "SIOCWANDEV/IF_PROTO_HDLC fail!" << std::endl;
    }
    socket.close();
}
