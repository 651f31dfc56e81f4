// The trunk factories as the slot service meets them: which creates they take, and the channels of
// their slots (which channel each time slot of a line is, the system tests show).

#include "server/slots.h"
#include "slots/circuit/trunk_factory.h"
#include "slots/circuit/trunk_slot.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

// The first slot a factory of the list makes for the trunk time slot, as the slot service asks them.
Slot* create(bool bri, unsigned trunk, unsigned timeslot)
{
    LGCP::CreateParams params;
    LGCP::TrunkParams& chosen = bri ? params.select_trunk_bri() : params.select_trunk();
    chosen.set_trunk(trunk);
    chosen.set_timeslot(timeslot);
    for (SlotFactory* factory = firstFactory; factory; factory = factory->next)
        if (Slot* slot = factory->NewSlot(params))
            return slot;
    return nullptr;
}

TEST(TrunkFactories, EachLineTakesOnlyItsOwnTimeSlotsAndBriLinesKeepTheirOwnTable)
{
    LinkTrunkFactories();
    // Channel 1 is time slot 1 of both the first E1 trunk and the first BRI line.
    std::vector<Slot*> made;
    for (bool bri : {false, true}) {
        Slot* slot = made.emplace_back(create(bri, 0, 1));
        ASSERT_TRUE(slot);
        EXPECT_EQ(std::string(slot->GetName()) + " " + std::to_string(slot->IGetReceiveChannel()) + " " +
                      std::to_string(slot->GetTrunk()) + "/" + std::to_string(slot->GetTrunkTimeSlot()),
                  bri ? "trunkBRI 1 0/1" : "trunk 1 0/1");
    }
    // Four E1 trunks of 32 time slots, eight BRI lines of 4.
    for (auto [bri, trunk, timeslot] : {std::tuple{false, 4u, 0u}, {false, 0u, 32u}, {true, 8u, 0u}, {true, 0u, 4u}})
        EXPECT_EQ(create(bri, trunk, timeslot), nullptr) << trunk << "/" << timeslot;
    for (Slot* slot : made)
        EXPECT_TRUE(Slots::instance()->Destroy(slot));
}

}  // namespace
