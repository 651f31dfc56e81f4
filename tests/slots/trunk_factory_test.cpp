// The trunk factories as the slot service meets them: which requests they take, the channels of
// their slots, and that a time slot has one holder at a time.

#include "../foundation/reactor/reactor_test_support.h"

#include "server/slots.h"
#include "slots/circuit/trunk_factory.h"
#include "slots/circuit/trunk_slot.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

LGCP::CreateParams line(bool bri, unsigned trunk, unsigned timeslot)
{
    LGCP::CreateParams params;
    LGCP::TrunkParams& chosen = bri ? params.select_trunk_bri() : params.select_trunk();
    chosen.set_trunk(trunk);
    chosen.set_timeslot(timeslot);
    return params;
}

// The first slot a factory of the list makes, as the slot service asks them.
Slot* create(const LGCP::CreateParams& params)
{
    for (SlotFactory* factory = firstFactory; factory; factory = factory->next)
        if (Slot* slot = factory->NewSlot(params))
            return slot;
    return nullptr;
}

struct Facts {
    std::string name;
    int channel;
    int trunk;
    int timeslot;
    bool operator==(const Facts& other) const
    {
        return name == other.name && channel == other.channel && trunk == other.trunk && timeslot == other.timeslot;
    }
};

std::ostream& operator<<(std::ostream& out, const Facts& facts)
{
    return out << facts.name << " channel " << facts.channel << " trunk " << facts.trunk << " timeslot "
               << facts.timeslot;
}

Facts facts(Slot& slot)
{
    EXPECT_EQ(slot.IGetTransmitChannel(), slot.IGetReceiveChannel());
    return {slot.GetName(), slot.IGetReceiveChannel(), slot.GetTrunk(), slot.GetTrunkTimeSlot()};
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
    EXPECT_EQ(trunk0.next, nullptr);
}

TEST(TrunkFactories, SlotsAnswerTheirChannelTrunkAndTimeSlot)
{
    Slot* e1 = create(line(false, 2, 5));
    Slot* bri = create(line(true, 7, 3));
    Slot* e1_one = create(line(false, 0, 1));
    Slot* bri_one = create(line(true, 0, 1));
    ASSERT_TRUE(e1 && bri && e1_one && bri_one);
    EXPECT_EQ(facts(*e1), (Facts{"trunk", 69, 2, 5}));
    EXPECT_EQ(facts(*bri), (Facts{"trunkBRI", 31, 7, 3}));
    // The BRI factories keep their own table: both hold channel 1.
    EXPECT_EQ(facts(*e1_one), (Facts{"trunk", 1, 0, 1}));
    EXPECT_EQ(facts(*bri_one), (Facts{"trunkBRI", 1, 0, 1}));
    EXPECT_EQ(e1->factory, &trunk2);
    EXPECT_EQ(bri->factory, &trunk_bri7);
    EXPECT_TRUE(e1->IOnOutputStream() && e1->IOnInputStream());

    EXPECT_EQ(create(line(false, 4, 0)), nullptr);
    EXPECT_EQ(create(line(true, 8, 0)), nullptr);
    EXPECT_EQ(create(line(true, 0, 4)), nullptr);
    LGCP::CreateParams other;
    other.select_ext();
    EXPECT_EQ(create(other), nullptr);

    for (Slot* slot : {e1, bri, e1_one, bri_one})
        EXPECT_TRUE(Slots::instance()->Destroy(slot));
}

TEST(TrunkFactories, ASecondSlotForATimeSlotEvictsTheFirstAndADestroyedOneFreesIt)
{
    const std::string evicted = "trunk-slot: two slots require the same timeslot, remove old.\n old slot 03:trunk\n";
    reactortest::CaptureStream errors(std::cerr);
    Slot* first = create(line(false, 1, 10));
    ASSERT_TRUE(first);
    first->id = 3;
    Slot* second = create(line(false, 1, 10));
    ASSERT_TRUE(second);
    EXPECT_EQ(errors.text(), evicted);
    EXPECT_EQ(second->IGetReceiveChannel(), 42);

    EXPECT_TRUE(Slots::instance()->Destroy(second));
    Slot* third = create(line(false, 1, 10));
    ASSERT_TRUE(third);
    EXPECT_EQ(errors.text(), evicted);
    EXPECT_TRUE(Slots::instance()->Destroy(third));
}

TEST(TrunkFactories, TheResourceReportIsLeftAlone)
{
    LGCP::Resources resources, untouched;
    for (SlotFactory* factory = firstFactory; factory; factory = factory->next)
        factory->Query(resources);
    EXPECT_EQ(resources.asValueNotation(), untouched.asValueNotation());
}

}  // namespace
