#include "slots/circuit/modem_slot.h"

#include "slots/circuit/auth_record.h"
#include "slots/circuit/modem_factory.h"

#include "foundation/os/fixed_path.h"
#include "foundation/util/ext_header.h"
#include "foundation/util/ext_quoted.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>

namespace {

constexpr unsigned stop_timeout_ms = 5000;
// Program and arguments fill the vector of 64 entries with its terminating null.
constexpr size_t max_execargs = 62;
const char pppd_program[] = "/usr/local/sbin/pppd";

void set(BASE::INTEGER64Bits& value, uint64_t counter)
{
    value.set_low(static_cast<int>(static_cast<uint32_t>(counter)));
    value.set_high(static_cast<int>(static_cast<uint32_t>(counter >> 32)));
}

}  // namespace

ModemSlot::ModemSlot(const TERM::ModemParams& params) : params(params)
{
    child.Bind(this, &ModemSlot::on_pppd_terminate);
}

void ModemSlot::PutHeader(std::ostream& out) const
{
    Put(out);
    out << ": ";
}

bool ModemSlot::IBeforeDestroy()
{
    if (child.pid() < 0) {
        unbind();
        return true;
    }
    std::cerr << ext::header(this) << "sent HUP to pppd." << std::endl;
    kill(child.pid(), SIGHUP);
    stopTimer.set(stop_timeout_ms, &ModemSlot::on_stop_timeout, this);
    return false;
}

bool ModemSlot::IOnOutputStream() { return InitModem(); }

bool ModemSlot::IOnInputStream() { return InitModem(); }

bool ModemSlot::IActivate(const TERM::TermActivateParams& activation)
{
    const TERM::ModemUserParameters* user = activation.get_modem();
    if (!user) {
        std::cerr << ext::header(this) << "modem's activation requests parameter." << std::endl;
        return false;
    }
    // Before its start a DSP modem has the modem id of the digital calls, -1.
    if (!started()) {
        std::cerr << ext::header(this) << "modem's activation: modem not started." << std::endl;
        return false;
    }
    std::array<uint32_t, 4> addresses;
    const ASN1::IA5String* texts[] = {&user->get_remoteAddr(), &user->get_netmask(), &user->get_gateway(),
                                      &user->get_dns()};
    for (size_t n = 0; n < addresses.size(); ++n) {
        // Strict: inet_addr would take "10" or "1.2.3" and answer all ones for what does not parse.
        const std::string& text = texts[n]->getValue();
        if (text.find('\0') != std::string::npos || inet_pton(AF_INET, text.c_str(), &addresses[n]) != 1) {
            std::cerr << ext::header(this) << "modem's activation: invalid address " << ext::quoted(text) << std::endl;
            return false;
        }
    }
    ModemFactory* factory = ModemFactory::instance();
    attr accept = attr::Accept(modem_id());
    attr ip = attr::IpParameters(modem_id(), addresses, static_cast<uint32_t>(user->get_mtu().getValue()));
    return factory->SendAuth(&accept) && factory->SendAuth(&ip);
}

void ModemSlot::pppd_exec(const char* device, const char* options)
{
    if (child.pid() >= 0)
        return;
    using Optional = TERM::ModemParams::Optional;
    const std::string& cid = params.get_cid().getValue();
    std::string program = params.hasOptionalField(Optional::execfile) ? params.get_execfile().getValue() : pppd_program;
    std::vector<std::string> arguments;
    if (params.hasOptionalField(Optional::execargs)) {
        for (const ASN1::IA5String& argument : params.get_execargs()) {
            if (arguments.size() == max_execargs)
                break;
            arguments.push_back(argument.getValue());
        }
    } else {
        arguments = {"file", fixed_path(options), device};
        if (!cid.empty()) {
            arguments.push_back("remotenumber");
            arguments.push_back(cid);
        }
    }
    int pid = StartChild(program, arguments);
    if (pid < 0)
        return;
    std::clog << ext::header(this) << "pppd executed" << " cid=" << ext::quoted(cid) << " pid=" << pid << std::endl;
}

int ModemSlot::StartChild(const std::string& program, const std::vector<std::string>& arguments,
                          const std::function<void()>& before_exec, const std::string& exec_failed)
{
    int pid = child.Start(program, arguments, before_exec, exec_failed);
    if (pid < 0) {
        int error = errno;
        std::cerr << ext::header(this) << "vfork fail: " << std::strerror(error) << std::endl;
        OnAbort(error);
    }
    return pid;
}

void ModemSlot::pppd_kill()
{
    if (child.pid() < 0 || child.pid() == killed)
        return;
    killed = child.pid();
    std::cerr << ext::header(this) << "pppd isn't terminated, killing ..." << std::endl;
    kill(child.pid(), SIGKILL);
}

void ModemSlot::on_pppd_terminate(int status)
{
    std::clog << ext::header(this) << "pppd terminated with code " << status << std::endl;
    // Reported like any end, but the log says that the program never ran.
    if (int error = child.exec_error())
        std::cerr << ext::header(this) << "fail to exec pppd: " << std::strerror(error) << std::endl;
    OnChildEnd(status);
}

void ModemSlot::OnChildEnd(int status)
{
    if (!destroying) {
        OnAbort(status);
        return;
    }
    unbind();
    on_release();
}

void ModemSlot::on_stop_timeout()
{
    std::cerr << ext::header(this) << "pppd terminate timeout!" << std::endl;
    pppd_kill();
    if (destroying) {
        unbind();
        on_release();
    }
}

void ModemSlot::OnAuth(const attr* record)
{
    auto sized = [this, record](size_t length, const char* what) {
        if (record->length() != length)
            std::cerr << ext::header(this) << what << ", invalid size: " << record->length() << std::endl;
        return record->length() == length;
    };
    switch (record->type()) {
    case attr::auth_request:
        if (sized(voauth::length, "auth request")) {
            voauth request(*record);
            OnAuthRequest(&request);
        }
        break;
    case attr::accounting:
        if (sized(voacct::length, "auth accounting")) {
            voacct accounting(*record);
            OnAcctInformation(&accounting);
        }
        break;
    case attr::accept:
        std::cerr << ext::header(this) << "auth accept, ignored." << std::endl;
        break;
    case attr::ip_parameters:
        std::cerr << ext::header(this) << "auth ip, ignored." << std::endl;
        break;
    default:
        std::cerr << ext::header(this) << "unknown request from portslave: 0x" << std::hex << record->type()
                  << std::dec << std::endl;
    }
}

void ModemSlot::OnAuthRequest(const voauth* request)
{
    std::string username = request->username();
    std::string password = request->password();
    // The controller's IA5String carries 7-bit characters only: the credentials could not reach
    // it and portslave would wait for ever. Neither text goes to the log.
    auto ia5 = [](const std::string& text) {
        return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    };
    if (!ia5(username) || !ia5(password)) {
        std::cerr << ext::header(this) << "auth request refused: credentials beyond 7-bit characters." << std::endl;
        OnAbort(EINVAL);
        return;
    }
    TERM::ModemProceeding proceeding;
    TERM::MdmRequestUserAuth& auth = proceeding.select_auth();
    auth.set_username(username);
    auth.set_password(password);
    OnModem(proceeding);
}

void ModemSlot::OnAcctInformation(const voacct* accounting)
{
    TERM::ModemProceeding proceeding;
    TERM::MdmAccounting& acct = proceeding.select_acct();
    set(acct.get_octetsOut(), accounting->octets_out());
    set(acct.get_octetsIn(), accounting->octets_in());
    set(acct.get_packetsOut(), accounting->packets_out());
    set(acct.get_packetsIn(), accounting->packets_in());
    set(acct.get_time(), accounting->time());
    OnModem(proceeding);
}
