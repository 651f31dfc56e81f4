#include "slots/circuit/modem_factory.h"

#include "slots/circuit/auth_client.h"
#include "slots/circuit/auth_record.h"
#include "slots/circuit/dsp_modem_slot.h"
#include "slots/circuit/hdlc_modem_slot.h"

#include "asn1/modules/LGCP.h"
#include "board/device_names.h"
#include "foundation/os/device.h"
#include "foundation/util/ext_header.h"
#include "foundation/util/ext_quoted.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <net/if.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace {

constexpr uint32_t enumerate_code = 0xBB0C;
// No board fits more DSP modems: a driver that never ends its list is not asked for ever.
constexpr int max_dsp_modems = 64;
constexpr int max_interfaces = 256;
// Each connection holds descriptors: beyond this many, idle ones would starve the modem starts.
constexpr size_t max_auth_clients = 32;
constexpr uint16_t auth_port = 52000;
constexpr int auth_backlog = 64;
constexpr unsigned reopen_ms = 1000;

}  // namespace

ModemFactory* ModemFactory::instance()
{
    static ModemFactory factory;
    return &factory;
}

ModemFactory::ModemFactory()
{
    EnumerateModems();
    ScanInterfaces();
    Init();
}

ModemFactory::~ModemFactory()
{
    for (AuthClient* client : clients)
        delete client;
    authSocket.close();
}

void ModemFactory::PutHeader(std::ostream& out) const
{
    out << "modem[" << dspModems << "," << modemSlots.size() << "]: ";
}

Slot* ModemFactory::INewSlot(const LGCP::CreateParams& params)
{
    const TERM::ModemParams* modem = params.get_modem();
    if (!modem)
        return nullptr;
    if (modem->hasOptionalField(TERM::ModemParams::Optional::ddm) && !modem->get_ddm().empty() &&
        !interfaces.empty()) {
        auto* slot = new HdlcModemSlot(*modem, interfaces.front());
        interfaces.pop_front();
        modemSlots.push_back(slot);
        hdlcSlots.push_back(slot);
        return slot;
    }
    auto* slot = new DspModemSlot(*modem);
    modemSlots.push_back(slot);
    dspSlots.push_back(slot);
    return slot;
}

void ModemFactory::Query(LGCP::Resources& resources)
{
    EnumerateModems();
    ScanInterfaces();
    resources.set_modem(dspModems);
    resources.set_digital_modems(static_cast<int>(interfaces.size()));
}

void ModemFactory::ReleaseModemSlot(DspModemSlot* slot)
{
    modemSlots.remove(slot);
    dspSlots.remove(slot);
}

void ModemFactory::ReleaseModemSlot(HdlcModemSlot* slot)
{
    auto found = std::find(hdlcSlots.begin(), hdlcSlots.end(), slot);
    if (found == hdlcSlots.end())
        return;
    hdlcSlots.erase(found);
    modemSlots.remove(slot);
    interfaces.push_back(slot->interface_name());
}

ModemSlot* ModemFactory::FindModemByDsp(int id) const
{
    for (ModemSlot* slot : modemSlots)
        if (slot->started() && slot->modem_id() == id)
            return slot;
    return nullptr;
}

void ModemFactory::EnumerateModems()
{
    dspModems = 0;
    Fd fd = Device::open(GetModemDevName(), O_RDWR);
    if (!fd) {
        int error = errno;
        std::cerr << ext::header(this) << "fail to open " << ext::quoted(GetModemDevName()) << " : "
                  << std::strerror(error) << std::endl;
        return;
    }
    int index = -1;
    while (dspModems < max_dsp_modems &&
           (index = Device::request_value(fd, enumerate_code, static_cast<uint32_t>(index))) >= 0)
        ++dspModems;
    if (index < 0 && errno != ENODEV) {
        int error = errno;
        std::cerr << ext::header(this) << "enum fail: " << std::strerror(error) << std::endl;
    }
    fd.close();
}

bool ModemFactory::Held(const std::string& interface) const
{
    return std::any_of(hdlcSlots.begin(), hdlcSlots.end(),
                       [&interface](const HdlcModemSlot* slot) { return slot->interface_name() == interface; });
}

void ModemFactory::ScanInterfaces()
{
    interfaces.clear();
    Fd socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (!socket)
        return;
    for (int n = 0; n < max_interfaces; ++n) {
        ifreq request{};
        std::snprintf(request.ifr_name, IFNAMSIZ, "hdlc%d", n);
        if (ioctl(socket, SIOCGIFINDEX, &request) < 0 || ioctl(socket, SIOCGIFFLAGS, &request) < 0)
            break;
        // A live digital modem keeps its interface out of the list until it returns it.
        if ((request.ifr_flags & IFF_POINTOPOINT) && !(request.ifr_flags & IFF_LOOPBACK) && !Held(request.ifr_name))
            interfaces.push_back(request.ifr_name);
    }
    socket.close();
    if (interfaces.empty())
        return;
    std::clog << ext::header(this) << "found point-o-point devices:";
    for (const std::string& name : interfaces)
        std::clog << ' ' << name;
    std::clog << std::endl;
}

bool ModemFactory::Init()
{
    Fd fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const char* failure = "fail to bind auth socket: ";
    INet4::Addr address;
    address.Assign(htonl(INADDR_LOOPBACK));
    address.set_port(auth_port);
    const int on = 1;
    if (fd)
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (fd && bind(fd, address.as_sockaddr(), INet4::Addr::size()) == 0) {
        failure = "fail to listen auth socket: ";
        if (listen(fd, auth_backlog) == 0)
            failure = fd.NonBlock() ? nullptr : "can't set socket to non block mode: ";
    }
    if (failure) {
        int error = errno;
        std::cerr << ext::header(this) << failure << std::strerror(error) << std::endl;
        fd.close();
        return false;
    }
    authSocket = fd;
    authEvent.Bind("ModemFactory::OnSocketEvent", &ModemFactory::OnSocketEvent, this);
    authEvent.Schedule(authSocket, POLLIN);
    return true;
}

void ModemFactory::Reopen()
{
    if (!Init())
        reopenTimer.set(reopen_ms, &ModemFactory::Reopen, this);
}

void ModemFactory::OnSocketEvent(int, short revents)
{
    if (revents & (POLLERR | POLLHUP)) {
        std::cerr << ext::header(this) << "auth server socket error." << std::endl;
        acceptPause.Cancel();
        authEvent.Release();
        authSocket.close();
        // Without the listener portslave cannot authenticate any call: it comes back shortly.
        reopenTimer.set(reopen_ms, &ModemFactory::Reopen, this);
        return;
    }
    if (!(revents & POLLIN))
        return;
    INet4::Addr peer;
    socklen_t length = INet4::Addr::size();
    Fd fd = accept4(authSocket, peer.as_sockaddr(), &length, SOCK_CLOEXEC);
    if (!fd.NonBlock()) {
        int error = errno;
        std::cerr << ext::header(this) << "fail to set nonblock mode." << std::endl;
        fd.close();
        errno = error;
        acceptPause.Check(authEvent, "", false);
        return;
    }
    if (clients.size() >= max_auth_clients) {
        std::cerr << ext::header(this) << "auth connection from " << peer << " refused: too many connections."
                  << std::endl;
        fd.close();
        return;
    }
    auto* client = new AuthClient(fd, peer, *this);
    clients.push_back(client);
    client->Activate();
    std::cerr << ext::header(this) << "incoming auth connection from " << peer << std::endl;
}

void ModemFactory::OnAuth(const attr* record)
{
    if (ModemSlot* slot = FindModemByDsp(record->modem_id()))
        slot->OnAuth(record);
    else
        std::cerr << ext::header(this) << "receive auth request for unknown session " << record->modem_id()
                  << std::endl;
}

bool ModemFactory::SendAuth(const attr* record)
{
    for (AuthClient* client : clients)
        if (client->last_modem_id() == record->modem_id())
            return client->Send(record);
    std::clog << ext::header(this) << "send error: unknown auth " << record->modem_id() << " session." << std::endl;
    return false;
}

void ModemFactory::OnAuthSocketDisconnect(AuthClient* client)
{
    std::clog << ext::header(this) << "auth client " << client->peer() << " disconnected." << std::endl;
    clients.remove(client);
    delete client;
}
