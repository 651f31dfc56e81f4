// The map, external-board and echo-bus factories as the slot service meets them: which creates
// they take, which holders a map create evicts, and the echo buses of the resource report (what
// the switch is asked, the system tests show).

#include "server/server_harness.h"
#include "../hardware/emulated_device_test.h"

#include "server/slots.h"
#include "slots/circuit/echo_factory.h"
#include "slots/circuit/ext_factory.h"
#include "slots/circuit/map_factory.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

using MapExtEchoFactories = boardtest::BoardTest;

TEST_F(MapExtEchoFactories, CreatesTakeTheirChannelsFromOldHoldersAndOutOfRangeChannelsAreRefused)
{
    EchoFactory::instance(), ExtFactory::instance(), MapFactory::instance();
    static auto* controller = new servertest::ServerHarness{Slots::instance()};
    const std::regex noise("\\{ [^{]*pdu \\w+ : | \\}| : NULL| : active :");
    // Slot, command, then what the controller hears ("|" after each message) and the live slots.
    const std::tuple<unsigned, const char*, const char*> rows[] = {
        {1, "create : map : { receiver { bus 15, channel 127 } }", "success|receiver 10239|1"},
        // One table for both directions: a channel goes to the newest slot naming it either way.
        {2, "create : map : { transmitter { bus 0, channel 6 }, receiver { bus 0, channel 5 } }",
         "success|receiver 8197|transmitter 8198|12"},
        {3, "create : map : { receiver { bus 0, channel 6 } }", "success|receiver 8198|13"},
        {4, "create : map : { transmitter { bus 0, channel 5 } }", "success|transmitter 8197|134"},
        // One channel both ways is held once, by a slot that does not evict itself.
        {5, "create : map : { transmitter { bus 0, channel 9 }, receiver { bus 0, channel 9 } }",
         "success|receiver 8201|transmitter 8201|1345"},
        {6, "create : ext : { transmitter -8192, receiver 2047 }", "success|transmitter 0|13456"},
        {7, "create : ext : { transmitter 0, receiver 2048 }", "error : insufficientResources|13456"},
        {7, "create : ext : { transmitter 0, receiver -1 }", "error : insufficientResources|13456"},
        {7, "create : ext : { transmitter 2147483647, receiver 0 }", "error : insufficientResources|13456"},
        {7, "create : ext : { transmitter 2048, receiver 0 }", "error : insufficientResources|13456"},
        {7, "create : ext : { transmitter -8193, receiver 0 }", "error : insufficientResources|13456"},
        {7, "create : echo : { bus 0, channel 0 }", "error : insufficientResources|13456"},
    };
    for (auto [slot, command, expected] : rows) {
        controller->deliver("{ seq 1, slot " + std::to_string(slot) + ", pdu command : " + command + " }");
        std::string text;
        for (const std::string& message : controller->received())
            text += message + "|";
        for (unsigned n = 1; n < 10; ++n)
            text += Slots::instance()->Find(n) ? std::to_string(n) : "";
        EXPECT_EQ(std::regex_replace(text, noise, ""), expected) << command;
    }
    // Every slot goes, as on the controller's loss.
    Slots::instance()->OnDisconnect();
    EXPECT_NE(errors.text().find("remove old.\nnew slot na:map <-> old slot 02:map\n"), std::string::npos);
    EXPECT_EQ(errors.text().find("internal error"), std::string::npos);
    EXPECT_NE(debug.text().find("map: disable map channel 2047\n"), std::string::npos);
    controller->deliver("{ seq 3, pdu command : query : NULL }");
    EXPECT_NE(controller->received().back().find(" echoBus { }, "), std::string::npos);
}

}  // namespace
