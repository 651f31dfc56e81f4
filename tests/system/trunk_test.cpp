// Trunk time-slot slots driven by the test controller: what the controller hears, and what the
// daemon asks of the TDM switch when slots are connected, moved, disconnected and destroyed.

#include "gateway.h"

#include "support/journal_requests.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace systemtest;
using Strings = std::vector<std::string>;

const milliseconds answer_time(10000);

class TrunkSlots : public ::testing::Test {
protected:
    // The next messages the controller prints, as many as expected.
    Strings next(size_t count)
    {
        Strings taken;
        while (taken.size() < count) {
            std::optional<std::string> message = controller->next(answer_time);
            if (!message)
                break;
            taken.push_back(*message);
        }
        return taken;
    }
    // The switch requests since the last call.
    Strings switched()
    {
        Strings requests = testsupport::switch_requests(gateway.board);
        gateway.board.clear_journal();
        return requests;
    }
    // The answer and both stream signals of a trunk slot made by a create.
    static Strings created(int seq, int slot, int channel)
    {
        std::string to = "{ slot " + std::to_string(slot) + ", pdu signal : ";
        return {"{ seq " + std::to_string(seq) + ", slot " + std::to_string(slot) + ", pdu response : success : NULL }",
                to + "transmitter : active : " + std::to_string(channel) + " }",
                to + "receiver : active : " + std::to_string(channel) + " }"};
    }
    static std::string answer(int seq, int slot, const std::string& response)
    {
        return "{ seq " + std::to_string(seq) + ", slot " + std::to_string(slot) + ", pdu response : " + response +
               " }";
    }

    Gateway gateway{Gateway::quiet()};
    std::unique_ptr<ControllerProcess> controller = gateway.controller();
};

TEST_F(TrunkSlots, ACreateReportsBothStreamsAndEvictsTheTimeSlotsOldHolder)
{
    controller->send("{ seq 1, slot 1, pdu command : create : trunk : { trunk 2, timeslot 5 } }");
    EXPECT_EQ(next(3), created(1, 1, 69));
    controller->send("{ seq 2, slot 3, pdu command : create : trunk : { trunk 2, timeslot 5 } }");
    EXPECT_EQ(next(3), created(2, 3, 69));
    EXPECT_NE(gateway.daemon->errors().find(
                  "trunk-slot: two slots require the same timeslot, remove old.\n old slot 01:trunk\n"),
              std::string::npos);

    controller->send("{ seq 3, slot 1, pdu command : destroy : NULL }");
    controller->send("{ seq 4, slot 4, pdu command : create : trunk : { trunk 4, timeslot 0 } }");
    controller->send("{ seq 5, slot 4, pdu command : create : trunk_bri : { trunk 8, timeslot 0 } }");
    controller->send("{ seq 6, slot 4, pdu command : create : trunk_bri : { trunk 0, timeslot 4 } }");
    controller->send("{ seq 7, slot 3, pdu command : deactivate : NULL }");
    controller->send("{ seq 8, slot 4, pdu command : create : trunk_bri : { trunk 7, timeslot 3 } }");
    Strings expected{answer(3, 1, "error : slotNotExists"), answer(4, 4, "error : insufficientResources"),
                     answer(5, 4, "error : insufficientResources"), answer(6, 4, "error : insufficientResources"),
                     answer(7, 3, "error : unsupported")};
    for (const std::string& message : created(8, 4, 31))
        expected.push_back(message);
    EXPECT_EQ(next(expected.size()), expected);
}

TEST_F(TrunkSlots, EdgesDriveTheSwitchAndGoBeforeTheirSlots)
{
    controller->send("{ seq 1, slot 1, pdu command : create : trunk : { trunk 2, timeslot 5 } }");
    controller->send("{ seq 2, slot 2, pdu command : create : trunk : { trunk 1, timeslot 3 } }");
    controller->send("{ seq 3, slot 5, pdu command : create : trunk : { trunk 0, timeslot 7 } }");
    ASSERT_EQ(next(9).size(), 9u);
    switched();

    // Slot 2 receives from slot 1; again changes nothing; then from slot 5, the old route first.
    controller->send("{ seq 4, slot 1, pdu command : connect : 2 }");
    EXPECT_EQ(next(1), Strings{answer(4, 1, "success : NULL")});
    EXPECT_EQ(switched(), Strings{"connect output=35 source=69 -> 0"});
    controller->send("{ seq 5, slot 1, pdu command : connect : 2 }");
    EXPECT_EQ(next(1), Strings{answer(5, 1, "success : NULL")});
    EXPECT_EQ(switched(), Strings{});
    controller->send("{ seq 6, slot 5, pdu command : connect : 2 }");
    EXPECT_EQ(next(1), Strings{answer(6, 5, "success : NULL")});
    EXPECT_EQ(switched(), (Strings{"write output=35 value=213 -> 0", "connect output=35 source=7 -> 0"}));
    controller->send("{ seq 7, slot 2, pdu command : disconnect : NULL }");
    EXPECT_EQ(next(1), Strings{answer(7, 2, "success : NULL")});
    EXPECT_EQ(switched(), Strings{"write output=35 value=213 -> 0"});
    EXPECT_TRUE(gateway.daemon->wait_for_errors("mux: slot 01:trunk [69] -> 02:trunk [35]\n", answer_time));
    EXPECT_TRUE(gateway.daemon->wait_for_errors("mux: disconnect slot 02:trunk [35]\n", answer_time));

    // A destroyed source leaves its listeners first.
    controller->send("{ seq 8, slot 1, pdu command : connect : 2 }");
    controller->send("{ seq 9, slot 1, pdu command : connect : 5 }");
    ASSERT_EQ(next(2).size(), 2u);
    switched();
    controller->send("{ seq 10, slot 1, pdu command : destroy : NULL }");
    EXPECT_EQ(next(1), Strings{answer(10, 1, "success : NULL")});
    Strings requests = switched();
    std::sort(requests.begin(), requests.end());
    EXPECT_EQ(requests, (Strings{"write output=35 value=213 -> 0", "write output=7 value=213 -> 0"}));

    // A create over a live, connected number replaces the slot with one answer.
    controller->send("{ seq 11, slot 5, pdu command : connect : 2 }");
    controller->send("{ seq 12, slot 2, pdu command : create : trunk : { trunk 1, timeslot 4 } }");
    controller->send("{ seq 13, pdu command : ping : NULL }");
    Strings expected{answer(11, 5, "success : NULL")};
    for (const std::string& message : created(12, 2, 36))
        expected.push_back(message);
    expected.push_back("{ seq 13, pdu response : success : NULL }");
    EXPECT_EQ(next(expected.size()), expected);
    EXPECT_EQ(switched(), (Strings{"connect output=35 source=7 -> 0", "write output=35 value=213 -> 0"}));
}

}  // namespace
