#pragma once

// What the slot tests take from the gateway: the controller's messages without the trunk status
// that the E1 and BRI services send on their own every second, and of the board's "/dev/hal"
// only what the TDM switch was asked (the clock and line-interface chips share the device).

#include "controller_process.h"

#include "support/journal_requests.h"

#include <optional>
#include <string>
#include <vector>

namespace systemtest {

inline std::optional<std::string> next_slot_message(ControllerProcess& controller, milliseconds timeout)
{
    std::optional<std::string> message;
    do
        message = controller.next(timeout);
    while (message && message->find("pdu signal : trunkStatus") != std::string::npos);
    return message;
}

// "<request> <fields> -> <result>" of the switch requests, oldest first.
inline std::vector<std::string> switch_requests(testsupport::BoardEmulator& board)
{
    std::vector<std::string> requests;
    for (const std::string& request : testsupport::device_requests(board, "/dev/hal"))
        for (const char* name : {"connect ", "disable ", "write ", "read "})
            if (request.rfind(name, 0) == 0)
                requests.push_back(request);
    return requests;
}

}  // namespace systemtest
