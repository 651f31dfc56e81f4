#include "soak/daemon_probe.h"

#include "tests/support/process_cpu.h"
#include "tests/support/program_process.h"

#include <csignal>
#include <filesystem>
#include <sstream>

namespace soak {

namespace {

// The number after "<name>" in a text of "<name><number>" lines; -1 when there is none.
long number_after(const std::string& text, const std::string& name)
{
    size_t at = text.find(name);
    return at == std::string::npos ? -1 : std::atol(text.c_str() + at + name.size());
}

}  // namespace

DaemonFigures DaemonProbe::figures() const
{
    DaemonFigures figures;
    const std::string proc = "/proc/" + std::to_string(pid_);
    const std::string status = testsupport::file_text(proc + "/status");
    figures.rss_kib = number_after(status, "\nVmRSS:");
    figures.peak_rss_kib = number_after(status, "\nVmHWM:");
    std::error_code ignored;
    figures.descriptors = 0;
    for (auto it = std::filesystem::directory_iterator(proc + "/fd", ignored); it != std::filesystem::directory_iterator();
         it.increment(ignored))
        ++figures.descriptors;
    std::istringstream children(testsupport::file_text(proc + "/task/" + std::to_string(pid_) + "/children"));
    figures.children = 0;
    for (pid_t child; children >> child;)
        ++figures.children;
    const std::string dump = status_dump();
    figures.slots = number_after(dump, "\nslots : ");
    figures.packets = number_after(dump, "\npackets in use : ");
    return figures;
}

double DaemonProbe::cpu_seconds() const { return testsupport::cpu_seconds(pid_); }

bool DaemonProbe::sanitized() const
{
    return testsupport::file_text("/proc/" + std::to_string(pid_) + "/maps").find("libasan") != std::string::npos;
}

std::string DaemonProbe::status_dump() const
{
    const std::string path = root_ + "/var/log/server-status";
    std::filesystem::remove(path);
    kill(pid_, SIGUSR2);
    std::string dump;
    testsupport::eventually(
        [&] {
            dump = testsupport::file_text(path);
            return dump.size() >= 2 && dump.compare(dump.size() - 2, 2, "\n\n") == 0;
        },
        testsupport::milliseconds(10000));
    return dump;
}

std::string describe(const DaemonFigures& figures)
{
    return "rss " + std::to_string(figures.rss_kib) + " KiB (peak " + std::to_string(figures.peak_rss_kib) +
           "), descriptors " + std::to_string(figures.descriptors) + ", children " + std::to_string(figures.children) +
           ", slots " + std::to_string(figures.slots) + ", packets " + std::to_string(figures.packets);
}

}  // namespace soak
