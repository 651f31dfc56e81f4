// The soak and churn drivers of the daemon on the emulated board.
//
//     tovrasel_soak soak <commands>   rounds of slots of every type made, used and destroyed by one
//                                     controller until that many commands are answered
//     tovrasel_soak churn <cycles>    a controller that makes slots of every type and dies, that
//                                     many times
//
// The soak samples the daemon's resident memory, descriptors, child processes and its own count of
// slots and packets in use every so many rounds, after the round's slots are gone; all but the
// memory must come back to what they were after the warm-up (the first twentieth), the memory may
// grow by at most 1 MiB (not judged for a daemon built with AddressSanitizer). The churn waits after each death until the daemon has no slot, child
// process or packet left and its descriptors are those it had after the first one. Both
// stop the daemon at the end and look for a sanitizer's report on its error stream (run them with
// TOVRASEL_BUILD_DIR=build-check for the sanitizer build). The last line says "soak: passed" or
// "soak: FAILED" with the reasons; the daemon's error stream is left in tovrasel_soak-daemon.err.

#include "soak/daemon_probe.h"
#include "soak/slot_mix.h"
#include "soak/soak_controller.h"
#include "soak/soak_gateway.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

namespace {

using namespace soak;
using Clock = std::chrono::steady_clock;

constexpr long rss_growth_kib = 1024;
// Where the daemon's error stream is kept, in the current directory.
constexpr char log_name[] = "tovrasel_soak-daemon.err";

struct Verdict {
    std::string failures;
    void fail(const std::string& reason) { failures += (failures.empty() ? "" : "; ") + reason; }
};

// What a soak or a churn works with.
struct Run {
    SoakGateway gateway;
    DaemonProbe probe{gateway.daemon_pid(), gateway.root()};
    SlotMix mix{{gateway.record_port(), gateway.digital_modems()}};
    SoakController controller;
    Verdict verdict;
};

double seconds_since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The figures once the daemon is done with the slots of a round: the programs of its slots that
// are answered before they end (the T.38 program) have ended, and the descriptors stay as they are.
DaemonFigures settled(const DaemonProbe& probe)
{
    DaemonFigures figures = probe.figures();
    testsupport::eventually(
        [&] {
            DaemonFigures previous = figures;
            figures = probe.figures();
            return figures.children == 0 && figures.descriptors == previous.descriptors;
        },
        testsupport::milliseconds(10000));
    return figures;
}

void add_all(SoakController& controller, const std::vector<Command>& commands)
{
    for (const Command& command : commands)
        controller.add(command.slot, command.body);
}

// The round's frames for the latest signalling channel; the board answers "ok" or an error that
// the soak does not mind (no channel open).
void push_frames(SoakGateway& gateway, const SlotMix& mix, int round)
{
    std::string line = "push /dev/mcc/ctl";
    for (const std::string& frame : mix.frames(round))
        line += ' ' + frame;
    gateway.board(line);
}

// A controller that the daemon serves: connected and its ping answered. The daemon takes a second
// after a controller's loss before it serves the next one, and refuses one meanwhile.
bool serve(SoakController& controller, int port, Verdict& verdict)
{
    for (auto deadline = Clock::now() + std::chrono::seconds(30); Clock::now() < deadline;) {
        if (controller.connect(port)) {
            controller.add(-1, "ping : NULL");
            if (controller.run(std::chrono::milliseconds(5000)))
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    verdict.fail("no controller served: " + controller.failure());
    return false;
}

void check_sanitizers(const std::string& errors, Verdict& verdict)
{
    for (const char* report : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:"}) {
        size_t at = errors.find(report);
        if (at != std::string::npos)
            verdict.fail("sanitizer report: " + errors.substr(at, errors.find('\n', at) - at));
    }
}

void print_summary(const SoakController& controller, double seconds)
{
    std::printf("commands %llu, answers %llu (%llu errors), signals %llu, %.0f s, %.0f commands/s\n",
                static_cast<unsigned long long>(controller.commands()),
                static_cast<unsigned long long>(controller.answers()),
                static_cast<unsigned long long>(controller.errors()),
                static_cast<unsigned long long>(controller.signals()), seconds, controller.answers() / seconds);
    for (const auto& [kind, count] : controller.error_kinds())
        std::printf("  error answers: %s x %llu\n", kind.c_str(), static_cast<unsigned long long>(count));
}

int finish(SoakGateway& gateway, Verdict& verdict)
{
    if (!gateway.emulator_running())
        verdict.fail("the board emulator ended");
    const std::string errors = gateway.stop_daemon();
    std::ofstream(log_name) << errors;
    std::printf("the daemon's error stream: %s\n", log_name);
    check_sanitizers(errors, verdict);
    std::printf("soak: %s%s\n", verdict.failures.empty() ? "passed" : "FAILED: ", verdict.failures.c_str());
    return verdict.failures.empty() ? 0 : 1;
}

int run_soak(long target)
{
    Run run;
    auto& [gateway, probe, mix, controller, verdict] = run;
    std::printf("soak of %ld commands, digital modems %s\n", target, gateway.digital_modems() ? "on" : "off");
    if (!serve(controller, gateway.port(), verdict))
        return finish(gateway, verdict);
    // The mixer units are known after the first resource report.
    controller.add(-1, "query : NULL");
    const auto start = Clock::now();
    const long warm_up = target / 20;
    DaemonFigures warm;
    int report_every = 0;
    for (int round = 0; controller.commands() < static_cast<uint64_t>(target); ++round) {
        add_all(controller, mix.build(round));
        if (!controller.run()) {
            verdict.fail("round " + std::to_string(round) + ": " + controller.failure());
            break;
        }
        push_frames(gateway, mix, round);
        add_all(controller, mix.teardown(round));
        if (!controller.run()) {
            verdict.fail("round " + std::to_string(round) + " teardown: " + controller.failure());
            break;
        }
        gateway.release_kept_modems();
        if (warm.rss_kib < 0 && controller.commands() >= static_cast<uint64_t>(warm_up)) {
            warm = settled(probe);
            report_every = std::max(1, round / 2);
            std::printf("after warm-up (%llu commands, %.0f s): %s\n",
                        static_cast<unsigned long long>(controller.commands()), seconds_since(start),
                        describe(warm).c_str());
        } else if (report_every > 0 && round % report_every == 0) {
            DaemonFigures now = settled(probe);
            std::printf("%llu commands, %.0f s: %s\n", static_cast<unsigned long long>(controller.commands()),
                        seconds_since(start), describe(now).c_str());
        }
        std::fflush(stdout);
    }
    const double seconds = seconds_since(start);
    DaemonFigures last = settled(probe);
    std::printf("at the end: %s; the daemon's CPU time %.1f s\n", describe(last).c_str(), probe.cpu_seconds());
    print_summary(controller, seconds);
    if (last.descriptors != warm.descriptors || last.children != warm.children || last.slots != 0 ||
        last.packets != warm.packets)
        verdict.fail("not back to the warm-up's figures");
    if (probe.sanitized())
        std::printf("memory not judged: AddressSanitizer's quarantine grows it\n");
    else if (last.rss_kib - warm.rss_kib > rss_growth_kib)
        verdict.fail("memory grew by " + std::to_string(last.rss_kib - warm.rss_kib) + " KiB");
    return finish(gateway, verdict);
}

int run_churn(int cycles)
{
    Run run;
    auto& [gateway, probe, mix, controller, verdict] = run;
    std::printf("churn of %d cycles, digital modems %s\n", cycles, gateway.digital_modems() ? "on" : "off");
    // What the first controller's slots leave open for good (the tone and DSP devices, opened on
    // first use) is the measure for the later ones.
    DaemonFigures first;
    const auto start = Clock::now();
    int leaks = 0;
    for (int cycle = 0; cycle < cycles && verdict.failures.empty(); ++cycle) {
        if (!serve(controller, gateway.port(), verdict))
            break;
        controller.add(-1, "query : NULL");
        add_all(controller, mix.build(cycle));
        if (!controller.run()) {
            verdict.fail("cycle " + std::to_string(cycle) + ": " + controller.failure());
            break;
        }
        push_frames(gateway, mix, cycle);
        controller.close();
        DaemonFigures after;
        const bool clean = testsupport::eventually(
            [&] {  // through run: a lambda captures no structured binding before C++20
                run.gateway.release_kept_modems();
                DaemonFigures previous = after;
                after = run.probe.figures();
                return after.slots == 0 && after.children == 0 && after.packets == 0 &&
                       after.descriptors == (cycle == 0 ? previous.descriptors : first.descriptors);
            },
            testsupport::milliseconds(15000));
        if (cycle == 0)
            first = after;
        if (!clean) {
            ++leaks;
            std::printf("cycle %d left: %s\n", cycle, describe(after).c_str());
            if (leaks == 10)
                verdict.fail("ten cycles left something behind");
        }
        if (cycle % 50 == 0 || cycle + 1 == cycles)
            std::printf("cycle %d, %.0f s: %s\n", cycle, seconds_since(start), describe(after).c_str());
        std::fflush(stdout);
    }
    print_summary(controller, seconds_since(start));
    if (leaks > 0)
        verdict.fail(std::to_string(leaks) + " cycles left something behind");
    return finish(gateway, verdict);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc == 3 ? argv[1] : "";
    const long count = argc == 3 ? std::atol(argv[2]) : 0;
    if ((mode != "soak" && mode != "churn") || count <= 0) {
        std::cerr << "usage: tovrasel_soak soak <commands> | churn <cycles>\n";
        return 2;
    }
    try {
        return mode == "soak" ? run_soak(count) : run_churn(static_cast<int>(count));
    } catch (const std::exception& error) {
        std::cerr << "soak: " << error.what() << '\n';
        return 1;
    }
}
