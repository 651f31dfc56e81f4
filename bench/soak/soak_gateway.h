#pragma once

// The gateway the soak drives: the daemon of the build (TOVRASEL_BUILD_DIR names another, such as
// the sanitizer build) on the board emulator fitted as emulator/boards/default.board, in a fresh
// root with stand-ins for pppd, the fax programs and the T.38 program, and a record server that
// takes what voice recorders send. Where the process may, it runs in a network namespace of its
// own with the digital modems' interfaces hdlc0 to hdlc7, so that the authentication server's
// fixed port and the interfaces are its own.

#include "tests/support/emulator_process.h"
#include "tests/support/program_process.h"
#include "tests/support/temp_root.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace soak {

class SoakGateway {
public:
    SoakGateway();
    ~SoakGateway();
    SoakGateway(const SoakGateway&) = delete;
    SoakGateway& operator=(const SoakGateway&) = delete;

    int port() const { return port_; }
    pid_t daemon_pid() const { return daemon_->pid(); }
    const std::string& root() const { return root_.path(); }
    bool digital_modems() const { return own_network_; }
    int record_port() const { return record_port_; }

    // One test-control command of the board; the lines of its answer.
    std::vector<std::string> board(const std::string& line);
    // What a fax program does at its end: it closes the data device of the modem that the driver
    // kept for it, which frees the modem. The stand-ins open none, so the soak does it for them.
    void release_kept_modems();
    // Stops the daemon with SIGTERM and returns what it wrote on its error stream.
    std::string stop_daemon();
    bool emulator_running() const { return emulator_->pid() > 0 && kill(emulator_->pid(), 0) == 0; }

private:
    bool enter_own_network();
    void install_stand_ins();
    void serve_records();

    bool own_network_ = false;
    std::vector<int> interfaces_;
    testsupport::TempRoot root_;
    std::unique_ptr<testsupport::EmulatorProcess> emulator_;
    int record_listener_ = -1;
    int record_port_ = 0;
    int stop_pipe_[2] = {-1, -1};
    std::thread record_server_;
    int port_ = 0;
    std::unique_ptr<testsupport::ProgramProcess> daemon_;
};

}  // namespace soak
