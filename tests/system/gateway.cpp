#include "gateway.h"

#include "support/daemon_process.h"

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace systemtest {

const char default_configuration[] =
    "# tovrasel on the emulated board\n"
    "[traces]\n"
    "signalling.hdlc = false\n"
    "signalling.lemzgw = false\n"
    "signalling.events = false\n"
    "signalling.isdn = false\n"
    "monitoring.internal = false\n";

namespace {

// The SPI register write on "/dev/hal": refused with ENODEV, it switches the BRI chips off for good.
constexpr uint32_t spi_write = 0xC0034204;

}  // namespace

std::string daemon_version(const std::string& directory)
{
    Finished version = run_program(build_program("tovrasel"), {"--version"}, directory);
    const std::string prefix = "server version: ";
    if (version.output.rfind(prefix, 0) != 0 || version.output.back() != '\n')
        throw std::runtime_error("unexpected version line: " + version.output);
    return version.output.substr(prefix.size(), version.output.size() - prefix.size() - 1);
}

bool listening(int port)
{
    // "sl local_address rem_address st ...": the address as hex "ADDR:PORT", LISTEN is state 0A.
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        size_t colon = local.find(':');
        if (state == "0A" && colon != std::string::npos && std::stoi(local.substr(colon + 1), nullptr, 16) == port)
            return true;
    }
    return false;
}

Gateway::Options Gateway::quiet()
{
    Options options;
    options.quiet_board = true;
    return options;
}

Gateway::Gateway(const Options& options) : port(testsupport::unused_port())
{
    if (options.quiet_board) {
        board.set_absent("/dev/maintenance", true);
        board.fail("/dev/hal", spi_write, ENODEV);
    }
    for (const char* directory : {"/var/run", "/var/log", "/usr/local/etc"})
        std::filesystem::create_directories(root / directory);
    if (options.configuration)
        root.write_file("/usr/local/etc/server.conf", options.configuration);
    arguments_ = {"--port", std::to_string(port)};
    arguments_.insert(arguments_.end(), options.arguments.begin(), options.arguments.end());
    if (options.start)
        start();
}

void Gateway::start()
{
    daemon = std::make_unique<ProgramProcess>(build_program("tovrasel"), arguments_, root.path(), "tovrasel");
    // Ready once it listens and its loop has made a pass: the watchdog got its first ping.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    auto looping = [this] {
        std::vector<std::string> watchdog = board.state("/dev/misc/gw-wd");
        return !watchdog.empty() && watchdog[0].rfind("running pings=", 0) == 0 && watchdog[0] != "running pings=0";
    };
    while (!listening(port) || !looping()) {
        if (!daemon->running())
            throw std::runtime_error("tovrasel ended at start: " + daemon->errors());
        if (std::chrono::steady_clock::now() > deadline)
            throw std::runtime_error("tovrasel does not listen on port " + std::to_string(port));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

std::unique_ptr<ControllerProcess> Gateway::controller(const std::string& name)
{
    return std::make_unique<ControllerProcess>(port, root.path(), name);
}

int Gateway::stop(int signal_number)
{
    daemon->signal(signal_number);
    return daemon->wait(std::chrono::milliseconds(20000));
}

}  // namespace systemtest
