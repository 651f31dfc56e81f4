#pragma once

// The test controller (tools/controller) run by a system test: messages go to it in value
// notation, one per line, and every answer and signal it prints comes back as one line of text,
// its white space collapsed: "{ seq 7, pdu response : success : NULL }".

#include "support/program_process.h"

#include <optional>
#include <string>
#include <vector>

namespace systemtest {

using testsupport::milliseconds;

class ControllerProcess {
public:
    // Connects the controller to the daemon on the port; its files go to the directory under the
    // name. Extra arguments follow the port.
    ControllerProcess(int port, const std::string& directory, const std::string& name = "controller",
                      const std::vector<std::string>& arguments = {});
    // Ends its input and lets it end by itself, within its time-out, as in use (a build with
    // coverage writes its counts then); what is left is ended by the program process.
    ~ControllerProcess() { finish(milliseconds(3000)); }
    ControllerProcess(const ControllerProcess&) = delete;
    ControllerProcess& operator=(const ControllerProcess&) = delete;

    // Sends one message (one line of value notation).
    void send(const std::string& message) { process_.write_input(message + "\n"); }
    // The next message printed that the test has not taken yet; nothing when none comes in time.
    std::optional<std::string> next(milliseconds timeout);
    // Takes messages until one that holds the text and returns it; nothing when none comes in time.
    std::optional<std::string> wait_for(const std::string& text, milliseconds timeout);
    // Ends its input and returns its exit status (-1 when it did not end normally in time).
    int finish(milliseconds timeout);

    testsupport::ProgramProcess& process() { return process_; }
    // The first message printed is not handed out when it is this one (what the gateway says to
    // every controller at connect, where a test is not about it).
    void skip_first(const std::string& message) { skipped_ = message; }

private:
    // The messages printed so far, collapsed.
    std::vector<std::string> printed();

    testsupport::ProgramProcess process_;
    size_t taken_ = 0;
    std::string skipped_;
};

}  // namespace systemtest
