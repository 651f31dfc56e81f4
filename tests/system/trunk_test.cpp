// Trunk time-slot slots driven by the test controller: what the controller hears, and what the
// daemon asks of the TDM switch when slots are connected, disconnected and destroyed.

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
        for (std::optional<std::string> message; taken.size() < count && (message = controller->next(answer_time));)
            taken.push_back(*message);
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

TEST_F(TrunkSlots, EdgesDriveTheSwitchAndGoBeforeTheirSlotsAndACreateEvictsTheTimeSlotsHolder)
{
    controller->send("{ seq 1, slot 1, pdu command : create : trunk : { trunk 2, timeslot 5 } }");
    controller->send("{ seq 2, slot 2, pdu command : create : trunk : { trunk 1, timeslot 3 } }");
    controller->send("{ seq 3, slot 5, pdu command : create : trunk : { trunk 0, timeslot 7 } }");
    Strings expected;
    for (const Strings& made : {created(1, 1, 69), created(2, 2, 35), created(3, 5, 7)})
        expected.insert(expected.end(), made.begin(), made.end());
    EXPECT_EQ(next(9), expected);
    switched();

    // Slot 2 receives from slot 1 until it disconnects.
    controller->send("{ seq 4, slot 1, pdu command : connect : 2 }");
    controller->send("{ seq 5, slot 2, pdu command : disconnect : NULL }");
    EXPECT_EQ(next(2), (Strings{answer(4, 1, "success : NULL"), answer(5, 2, "success : NULL")}));
    EXPECT_EQ(switched(), (Strings{"connect output=35 source=69 -> 0", "write output=35 value=213 -> 0"}));

    // A destroyed source leaves its listeners first.
    controller->send("{ seq 6, slot 1, pdu command : connect : 2 }");
    controller->send("{ seq 7, slot 1, pdu command : connect : 5 }");
    ASSERT_EQ(next(2).size(), 2u);
    switched();
    controller->send("{ seq 8, slot 1, pdu command : destroy : NULL }");
    EXPECT_EQ(next(1), Strings{answer(8, 1, "success : NULL")});
    Strings requests = switched();
    std::sort(requests.begin(), requests.end());
    EXPECT_EQ(requests, (Strings{"write output=35 value=213 -> 0", "write output=7 value=213 -> 0"}));

    // A create for a held time slot takes it from its holder.
    controller->send("{ seq 9, slot 3, pdu command : create : trunk : { trunk 1, timeslot 3 } }");
    controller->send("{ seq 10, slot 2, pdu command : deactivate : NULL }");
    controller->send("{ seq 11, slot 3, pdu command : deactivate : NULL }");
    expected = created(9, 3, 35);
    expected.push_back(answer(10, 2, "error : slotNotExists"));
    expected.push_back(answer(11, 3, "error : unsupported"));
    EXPECT_EQ(next(expected.size()), expected);
    EXPECT_NE(gateway.daemon->errors().find(
                  "trunk-slot: two slots require the same timeslot, remove old.\n old slot 02:trunk\n"),
              std::string::npos);
}

}  // namespace
