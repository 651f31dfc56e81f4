#pragma once

// A signalling slot behind the slot service, on the emulated board: the test delivers controller
// commands for slot 1 and reads what the controller gets back. The slot goes with the test.

#include "../hardware/emulated_device_test.h"
#include "../server/test_slot.h"

namespace signallingtest {

using Strings = std::vector<std::string>;

class SlotServiceTest : public boardtest::BoardTest {
protected:
    ~SlotServiceTest() override
    {
        controller.deliver("{ seq 1, slot 1, pdu command : destroy : NULL }");
        controller.received();
    }

    // The answer to the command, after the signals that came with it.
    Strings deliver(const std::string& command)
    {
        controller.deliver("{ seq 1, slot 1, pdu command : " + command + " }");
        return controller.received();
    }
    // The controller's messages that arrived meanwhile or within the time, at least `count` of them.
    Strings signals(size_t count)
    {
        Strings got;
        testsupport::run_reactor_until([&] {
            for (const std::string& message : controller.received())
                got.push_back(message);
            return got.size() >= count;
        });
        return got;
    }

    servertest::ServerHarness& controller = servertest::slot_service();
    const Strings success{"{ seq 1, slot 1, pdu response : success : NULL }"};
};

}  // namespace signallingtest
