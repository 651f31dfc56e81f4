// The slot service across controller losses: every slot goes, the daemon blocks for a second with
// or without slots, and the next controller finds every number free. The whole board runs, so
// trunk status keeps flowing through the slot service meanwhile.

#include "gateway.h"
#include "tpkt_client.h"

#include "support/journal_requests.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using namespace systemtest;
using Strings = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

const milliseconds answer_time(10000);

// A controller that ends soon after its input.
std::unique_ptr<ControllerProcess> quick_controller(Gateway& gateway, const std::string& name)
{
    return std::make_unique<ControllerProcess>(gateway.port, gateway.root.path(), name,
                                               std::vector<std::string>{"--timeout", "100"});
}

// The next message without the trunk status that the E1 and BRI services send every second.
std::optional<std::string> next_slot_message(ControllerProcess& controller, milliseconds timeout)
{
    std::optional<std::string> message;
    do
        message = controller.next(timeout);
    while (message && message->find("pdu signal : trunkStatus") != std::string::npos);
    return message;
}

// Pings on new connections until one is answered (a connection made while the daemon still
// serves the old controller is refused); the time of the answer. Signals before it are skipped.
Clock::time_point answered_ping(int port)
{
    auto deadline = Clock::now() + answer_time;
    while (Clock::now() < deadline) {
        TpktClient client(port);
        client.send_raw({0x03, 0x00, 0x00, 0x08, 0x80, 0x01, 0x07, 0x18});
        for (std::optional<Bytes> frame; (frame = client.receive_frame(milliseconds(5000)));)
            if (hex(*frame) == "03 00 00 08 80 01 07 40")
                return Clock::now();
    }
    ADD_FAILURE() << "no controller was served";
    return Clock::now();
}

TEST(SlotsAcrossControllers, ALostControllerTakesEverySlotAndTheDaemonBlocksForASecond)
{
    Gateway gateway;
    auto first = quick_controller(gateway, "first");
    first->send("{ seq 1, slot 1, pdu command : create : trunk : { trunk 2, timeslot 5 } }");
    first->send("{ seq 2, slot 2, pdu command : create : trunk : { trunk 1, timeslot 3 } }");
    first->send("{ seq 3, slot 1, pdu command : connect : 2 }");
    ASSERT_TRUE(first->wait_for("{ seq 3, slot 1, pdu response : success : NULL }", answer_time));
    gateway.board.clear_journal();
    EXPECT_EQ(first->finish(answer_time), 0);

    // The loss disconnects the edge, then the daemon sleeps: the next controller waits.
    ASSERT_TRUE(gateway.daemon->wait_for_errors("mux: disconnect slot 02:trunk [35]\n", answer_time));
    auto lost = Clock::now();
    auto second = quick_controller(gateway, "second");
    second->send("{ seq 4, pdu command : ping : NULL }");
    ASSERT_EQ(next_slot_message(*second, answer_time), "{ seq 4, pdu response : success : NULL }");
    EXPECT_GE(Clock::now() - lost, milliseconds(800));
    EXPECT_EQ(testsupport::switch_requests(gateway.board), Strings{"write output=35 value=213 -> 0"});

    // Every number is free again; the time slot has no holder to evict.
    second->send("{ seq 5, slot 1, pdu command : create : trunk : { trunk 2, timeslot 5 } }");
    second->send("{ seq 6, slot 2, pdu command : destroy : NULL }");
    second->send("{ seq 7, slot 1, pdu command : destroy : NULL }");
    Strings expected{"{ seq 5, slot 1, pdu response : success : NULL }",
                     "{ slot 1, pdu signal : transmitter : active : 69 }",
                     "{ slot 1, pdu signal : receiver : active : 69 }",
                     "{ seq 6, slot 2, pdu response : error : slotNotExists }",
                     "{ seq 7, slot 1, pdu response : success : NULL }"};
    for (const std::string& message : expected)
        EXPECT_EQ(next_slot_message(*second, answer_time), message);
    EXPECT_EQ(gateway.daemon->errors().find("trunk-slot:"), std::string::npos);

    // Without slots the loss blocks all the same.
    EXPECT_EQ(second->finish(answer_time), 0);
    auto ended = Clock::now();
    EXPECT_GE(answered_ping(gateway.port) - ended, milliseconds(800));
}

}  // namespace
