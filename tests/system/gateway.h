#pragma once

// The gateway as a system test meets it: a fresh root with a configuration file, the board
// emulator serving it, and the daemon `tovrasel` started there on a free port.
//
//     Gateway gateway;
//     auto controller = gateway.controller();
//     controller->send("{ seq 1, pdu command : ping : NULL }");
//     EXPECT_EQ(controller->next(milliseconds(5000)), "{ seq 1, pdu response : success : NULL }");
//
// A controller of the full board also hears trunk status reports at connect and every second,
// and the test controller then needs a "--timeout" below a second to end; a test that is not
// about the board takes Gateway::quiet() instead.

#include "controller_process.h"
#include "program_process.h"

#include "support/board_emulator.h"
#include "support/temp_root.h"

#include <csignal>
#include <memory>
#include <string>
#include <vector>

namespace systemtest {

// A configuration file with every trace switch off.
extern const char default_configuration[];

// The version text of the daemon, as "--version" prints it (run with its files in the directory).
std::string daemon_version(const std::string& directory);
// Whether something listens on the TCP port (from the kernel's table of sockets).
bool listening(int port);

class Gateway {
public:
    struct Options {
        std::vector<std::string> arguments;  // after "--port <port>"
        const char* configuration = default_configuration;  // null: no configuration file
        bool start = true;  // false: the test calls start() itself
        // The board without its unasked-for reports: "/dev/maintenance" absent (no E1 trunk
        // status) and SPI refused on "/dev/hal" (no BRI chips), so that a controller hears only
        // the answers and signals it asks for. For tests that are not about the board.
        bool quiet_board = false;
    };

    // Options with a quiet board, the others as by default.
    static Options quiet();

    Gateway() : Gateway(Options()) {}
    explicit Gateway(const Options& options);

    // Starts the daemon and waits until it listens on its port and its loop runs.
    void start();
    // A controller on the daemon's port, its files named after `name`.
    std::unique_ptr<ControllerProcess> controller(const std::string& name = "controller");
    // Stops the daemon with the signal and returns its wait status (-1 when it did not end in time).
    int stop(int signal_number = SIGTERM);

    testsupport::TempRoot root;
    testsupport::BoardEmulator board{root};
    int port;
    std::unique_ptr<ProgramProcess> daemon;

private:
    std::vector<std::string> arguments_;
};

}  // namespace systemtest
