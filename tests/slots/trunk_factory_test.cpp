// The trunk factories as the slot service meets them: their order and the channels of their slots.

#include "server/slots.h"
#include "slots/circuit/trunk_factory.h"
#include "slots/circuit/trunk_slot.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// "<name> <channel> <trunk>/<time slot>"
std::string facts(Slot& slot)
{
    EXPECT_EQ(slot.IGetTransmitChannel(), slot.IGetReceiveChannel());
    return std::string(slot.GetName()) + " " + std::to_string(slot.IGetReceiveChannel()) + " " +
           std::to_string(slot.GetTrunk()) + "/" + std::to_string(slot.GetTrunkTimeSlot());
}

TEST(TrunkFactories, TwelveStandInTheListBriNewestFirst)
{
    std::vector<std::string> names;
    for (SlotFactory* factory = firstFactory; factory; factory = factory->next)
        names.push_back(factory->GetName());
    std::vector<std::string> expected(8, "TrunksBRI");
    expected.insert(expected.end(), 4, "Trunks");
    EXPECT_EQ(names, expected);
    EXPECT_EQ(firstFactory, &trunk_bri7);
    EXPECT_EQ(trunk_bri0.next, &trunk3);
}

TEST(TrunkFactories, SlotsAnswerTheirChannelTrunkAndTimeSlot)
{
    Slot* e1 = create(false, 2, 5);
    Slot* bri = create(true, 7, 3);
    Slot* e1_one = create(false, 0, 1);
    Slot* bri_one = create(true, 0, 1);
    ASSERT_TRUE(e1 && bri && e1_one && bri_one);
    EXPECT_EQ(facts(*e1), "trunk 69 2/5");
    EXPECT_EQ(facts(*bri), "trunkBRI 31 7/3");
    // The BRI factories keep their own table: both hold channel 1.
    EXPECT_EQ(facts(*e1_one), "trunk 1 0/1");
    EXPECT_EQ(facts(*bri_one), "trunkBRI 1 0/1");
    EXPECT_EQ(e1->factory, &trunk2);
    EXPECT_EQ(bri->factory, &trunk_bri7);
    EXPECT_TRUE(e1->IOnOutputStream() && e1->IOnInputStream());
    EXPECT_EQ(create(true, 0, 4), nullptr);
    for (Slot* slot : {e1, bri, e1_one, bri_one})
        EXPECT_TRUE(Slots::instance()->Destroy(slot));
}

}  // namespace
