// tovrasel: the media-gateway server of the board. One process, one thread: it reads the
// configuration and the command line, builds the slot factories and the hardware services,
// binds the control services to the control server, serves one controller on the controller
// port and runs the reactor until SIGTERM or SIGINT. SIGUSR2 writes a status dump, SIGHUP sends
// the hardware-resource report to the controller.

#include "board/hw_mux.h"
#include "hardware/bus_ctl.h"
#include "hardware/e1_ctl.h"
#include "hardware/hw_tests.h"
#include "hardware/spi_ctrl.h"
#include "monitoring/monitoring_ctl.h"
#include "server/ctrl_server.h"
#include "server/heart_beat_ctl.h"
#include "server/slots.h"
#include "server/trace_ctl.h"
#include "signalling/slots/hdlc_slot_factory.h"
#include "signalling/slots/isdn_factory.h"
#include "signalling/slots/mcc_factory.h"
#include "signalling/slots/pstn_factory.h"
#include "slots/circuit/echo_factory.h"
#include "slots/circuit/ext_factory.h"
#include "slots/circuit/map_factory.h"
#include "slots/circuit/mixer_factory.h"
#include "slots/circuit/modem_factory.h"
#include "slots/circuit/t38_soft_factory.h"
#include "slots/circuit/trunk_factory.h"
#include "slots/circuit/voice_factory.h"
#include "slots/rtp/rtp_ed137_factory.h"
#include "slots/rtp/rtp_factory.h"
#include "slots/rtp/rtp_lemz_factory.h"

#include "foundation/config/ini_file.h"
#include "foundation/control/acceptor_net_check_connection.h"
#include "foundation/log/daemon.h"
#include "foundation/log/version.h"
#include "foundation/os/fixed_path.h"
#include "foundation/os/ipc_signal.h"
#include "foundation/os/linux_run.h"
#include "foundation/packet/packet.h"
#include "foundation/reactor/child_wait.h"
#include "foundation/reactor/dpc.h"
#include "foundation/reactor/multiplexer.h"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <getopt.h>
#include <iostream>
#include <sstream>
#include <string>

namespace {

const char configFile[] = "/usr/local/etc/server.conf";
const char statusFile[] = "/var/log/server-status";
const int default_port = 20001;

// The controller's link while the reactor runs, for the status dump.
const Control::Service* controllerLink = nullptr;

int print_version = 0;
volatile sig_atomic_t doDumpStatus = 0;
volatile sig_atomic_t updateResources = 0;

// Codes of the long options that have no short form.
enum { port_option = 256, disable_clock_option };

const option long_options[] = {
    {"daemon", no_argument, nullptr, 'D'},
    {"port", required_argument, nullptr, port_option},
    {"disable-clock", no_argument, nullptr, disable_clock_option},
    {"version", no_argument, &print_version, 1},
    {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
};

// "-p" is listed although only "--port" is taken.
const char usage_text[] =
    "Usage:\n"
    " tovrasel -Dh\n"
    "  -D --daemon                      run as daemon\n"
    "  -p --port                        use this port\n"
    "     --disable-clock               disable clock control\n"
    "     --version                     print version\n"
    "  -h --help                        display this information\n";

[[noreturn]] void usage(int status)
{
    std::cout << usage_text << std::endl;
    std::exit(status);
}

// A decimal number from 1 to 65535 and nothing else.
bool parse_port(const char* text, int& port)
{
    long value = 0;
    for (const char* c = text; *c; ++c) {
        if (*c < '0' || *c > '9' || (value = value * 10 + (*c - '0')) > 65535)
            return false;
    }
    if (!*text || value < 1)
        return false;
    port = static_cast<int>(value);
    return true;
}

// A write to a closed socket then fails with EPIPE instead of ending the process.
void SigPipeHandler(int, siginfo_t*, void*) {}
void SigTermHandler(int, siginfo_t*, void*) { multiplexer.terminate(); }
void SigUsr2Handler(int, siginfo_t*, void*) { doDumpStatus = 1; }
void SigHupHandler(int, siginfo_t*, void*) { updateResources = 1; }

void CheckDumpStatus()
{
    if (!doDumpStatus)
        return;
    doDumpStatus = 0;
    std::ofstream out(fixed_path(statusFile), std::ios::trunc);
    if (!out) {
        std::cerr << "dump status error" << std::endl;
        return;
    }
    out << "server status information.\n"
        << "version : " << Version::current << '\n'
        << "controller sends ignored : " << controllerLink->ignored_sends() << '\n'
        << "slots : " << Slots::instance()->count() << '\n'
        << "packets in use : " << packet_pool_blocks - Packet_pool::available() << '\n';
    multiplexer.dump(out);
}

void CheckUpdateResources()
{
    if (!updateResources)
        return;
    updateResources = 0;
    std::clog << "update hardware resources" << std::endl;
    Slots::instance()->UpdateHardwareResources();
}

// Runs twice on every reactor pass: the signals are served here, outside their handlers.
void CheckSignals()
{
    CheckDumpStatus();
    CheckUpdateResources();
}

void RunDaemon()
{
    std::ostringstream name;
    name << "tvr-" << Version::current;
    Daemon::Params params;
    params.name = name.str();
    Daemon::Init(params);
}

}  // namespace

int main(int argc, char** argv)
{
    IniFile::File file;
    if (file.Open(fixed_path(configFile))) {
        traces = TraceCtl();
        traces.Configure(file["traces"]);
    }

    IPC::Signal::handle(SIGPIPE, SigPipeHandler, SA_RESTART);
    IPC::Signal::handle(SIGTERM, SigTermHandler, 0);
    IPC::Signal::handle(SIGINT, SigTermHandler, 0);
    IPC::Signal::handle(SIGUSR2, SigUsr2Handler, SA_RESTART);
    IPC::Signal::handle(SIGHUP, SigHupHandler, SA_RESTART);

    int port = default_port;
    bool daemon = false;
    for (int option; (option = getopt_long(argc, argv, "Dh", long_options, nullptr)) != -1;) {
        switch (option) {
        case 0:  // a flag option
            break;
        case disable_clock_option:
            BusCtl::instance()->DisableControl();
            break;
        case 'D':
            daemon = true;
            break;
        case port_option:
            if (!parse_port(optarg, port))
                usage(2);
            break;
        case 'h':
            usage(0);
        default:
            usage(2);
        }
    }
    if (print_version) {
        std::cout << "server version: " << Version::current << std::endl;
        return 2;
    }

    // Each factory goes to the head of the factory list, in front of the trunk factories that
    // were built before main.
    LinkTrunkFactories();
    MapFactory::instance();
    PstnFactory::instance();
    RtpFactory::instance();
    ModemFactory::instance();
    Mixer::MixerFactory::instance();
    ExtFactory::instance();
    MccFactory::instance();
    EchoFactory::instance();
    VoiceFactory::instance();
    T38SoftFactory::instance();
    IsdnFactory::instance();
    RtpLEMZFactory::instance();
    RtpED137Factory::instance();
    HdlcSlotFactory::instance();

    HwMux::instance();
    MonitoringCtl::instance()->Configure(file);

    if (daemon)
        RunDaemon();
    Linux::Run pid_file("server");
    std::cout << "Starting server [" << Version::current << "], port=" << port << std::endl;

    ctrlServer.Bind(HeartBeatCtl::instance());
    ctrlServer.Bind(Slots::instance());
    ctrlServer.Bind(HwTests::instance());
    ctrlServer.Bind(BusCtl::instance());
    ctrlServer.Bind(E1Ctl::instance());
    ctrlServer.Bind(spiCtrl::instance());
    ctrlServer.Bind(MonitoringCtl::instance());

    ChildWait::Activate();
    Dpc signals;
    signals.Bind(new DpcHandler1(CheckSignals));
    signals.Activate();
    // The acceptor retries a port that cannot be bound yet.
    auto* acceptor = new Control::AcceptorNetCheckConnection(port);
    controllerLink = acceptor;
    ctrlServer.Activate(acceptor);

    multiplexer.run(true, true);

    ctrlServer.Deactivate();
    signals.Deactivate();
    return 0;
}
