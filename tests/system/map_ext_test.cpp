// External-board and map slots driven by the test controller: what the controller hears, and what
// the daemon asks of the TDM switch as the external receiver opens and closes and as a map create
// evicts the holder of its channel.

#include "gateway.h"

#include "support/journal_requests.h"

#include <gtest/gtest.h>

#include <regex>

TEST(MapExtSlots, TheExternalReceiverTakesASourceOnlyWhileActiveAndAnEvictedMapReceiverFloats)
{
    systemtest::Gateway gateway{systemtest::Gateway::quiet()};
    auto controller = gateway.controller();
    const std::regex noise("\\{ [^{]*pdu \\w+ : | \\}| : NULL| : active :| -> 0");
    // Slot, command, then what the controller hears ("|" after each message) and the switch requests.
    const std::tuple<int, const char*, const char*> rows[] = {
        {1, "create : ext : { transmitter 3, receiver 4 }", "success|transmitter 8195|"},
        {2, "create : trunk : { trunk 0, timeslot 1 }", "success|transmitter 1|receiver 1|"},
        {2, "connect : 1", "error : connectFail|"},
        {1, "activate : empty : NULL", "receiver 8196|success| write output=8196 value=213"},
        {2, "connect : 1", "success| connect output=8196 source=1"},
        // A second activate leaves the source's route alone.
        {1, "activate : empty : NULL", "success|"},
        {1, "deactivate : NULL", "receiver : inactive|success| write output=8196 value=213 disable output=8196"},
        {1, "activate : empty : NULL", "receiver 8196|success| write output=8196 value=213"},
        {1, "destroy : NULL", "success| disable output=8196"},
        {3, "create : map : { receiver { bus 0, channel 5 } }", "success|receiver 8197|"},
        {2, "connect : 3", "success| connect output=8197 source=1"},
        {4, "create : map : { transmitter { bus 0, channel 5 } }",
         "success|transmitter 8197| write output=8197 value=213 disable output=8197"},
    };
    for (auto [slot, command, expected] : rows) {
        controller->send("{ seq 1, slot " + std::to_string(slot) + ", pdu command : " + command + " }");
        std::string text;
        for (auto n = std::count(expected, expected + strlen(expected), '|'); n > 0; --n)
            text += controller->next(systemtest::milliseconds(10000)).value_or("") + "|";
        for (const std::string& request : testsupport::switch_requests(gateway.board))
            text += " " + request;
        gateway.board.clear_journal();
        EXPECT_EQ(std::regex_replace(text, noise, ""), expected) << command;
    }
}
