#pragma once

// The gateway as a system test meets it: a fresh root with a configuration file, the board
// emulator serving it, and the daemon `tovrasel` started there on a free port.
//
//     Gateway gateway;
//     auto controller = gateway.controller();
//     controller->send("{ seq 1, pdu command : ping : NULL }");
//     EXPECT_EQ(controller->next(milliseconds(5000)), "{ seq 1, pdu response : success : NULL }");
//
// A controller of the full board also hears trunk status reports at connect and every second; a
// test that is not about the board takes Gateway::quiet() instead.

#include "controller_process.h"

#include "support/board_emulator.h"
#include "support/program_process.h"
#include "support/temp_root.h"

#include <algorithm>
#include <csignal>
#include <memory>
#include <string>
#include <vector>

namespace systemtest {

using testsupport::build_program;
using testsupport::eventually;
using testsupport::Finished;
using testsupport::ProgramProcess;
using testsupport::run_program;

// The version text of the daemon, as "--version" prints it (run with its files in the directory).
std::string daemon_version(const std::string& directory);

class Gateway {
public:
    struct Options {
        std::vector<std::string> arguments;  // after "--port <port>"
        // Null: no configuration file. The default has every trace switch off.
        const char* configuration = "[traces]\nsignalling.hdlc = false\nsignalling.lemzgw = false\n"
                                    "signalling.events = false\nsignalling.isdn = false\nmonitoring.internal = false\n";
        bool start = true;  // false: the test sets the board up and calls start() itself
        // The board without its unasked-for reports: "/dev/maintenance" absent (no E1 trunk
        // status), SPI refused on "/dev/hal" (no BRI chips) and its power request refused (no
        // power changes), so that a controller hears only the answers and signals it asks for,
        // besides the power state "unknown" at connect, which its controller() takes off. For
        // tests that are not about the board.
        bool quiet_board = false;
        // A board description file for the emulator; empty, the bare board that the test fits.
        std::string board;
    };

    // Options with a quiet board, the others as by default.
    static Options quiet()
    {
        Options options;
        options.quiet_board = true;
        return options;
    }

    Gateway() : Gateway(Options()) {}
    explicit Gateway(const Options& options);

    // Starts the daemon and waits until it listens on its port and its loop runs. When another
    // process takes the port first, the daemon starts anew on another port and a fresh board,
    // given the settings and faults the test gave the first one.
    void start();
    // The watchdog as the board sees it: "idle pings=0", "running pings=<n>", "stopped pings=<n>".
    std::string watchdog() { return board.state("/dev/misc/gw-wd").at(0); }
    // Whether a daemon's loop runs: the watchdog has been started and pinged.
    bool looping()
    {
        std::string state = watchdog();
        return state.rfind("running pings=", 0) == 0 && state != "running pings=0";
    }
    // Whether the DSP modem is free, waiting for the driver to see the close of the open that held
    // it, which can come after the answer to the destroy of its slot: a program just forked from
    // the daemon holds duplicates of the daemon's descriptors until its exec.
    bool modem_free(int modem)
    {
        const std::string free = "modem=" + std::to_string(modem) + " free";
        return eventually(
            [&] {
                std::vector<std::string> modems = board.state("/dev/mctl");
                return std::find(modems.begin(), modems.end(), free) != modems.end();
            },
            milliseconds(10000));
    }
    // A controller on the daemon's port, its files named after `name`, the arguments after the port.
    std::unique_ptr<ControllerProcess> controller(const std::string& name = "controller",
                                                  const std::vector<std::string>& arguments = {})
    {
        auto controller = std::make_unique<ControllerProcess>(port, root.path(), name, arguments);
        if (quiet_)
            controller->skip_first(quiet_power_signal);
        return controller;
    }
    // Stops the daemon with the signal and returns its wait status (-1 when it did not end in time).
    int stop(int signal_number = SIGTERM)
    {
        daemon->signal(signal_number);
        return daemon->wait(milliseconds(20000));
    }

    testsupport::TempRoot root;
    testsupport::BoardEmulator board;
    int port = 0;
    std::unique_ptr<ProgramProcess> daemon;

    // What every controller of a quiet board hears first.
    static constexpr const char* quiet_power_signal = "{ pdu signal : power : unknown }";

private:
    std::vector<std::string> arguments_;
    bool quiet_ = false;
};

}  // namespace systemtest
