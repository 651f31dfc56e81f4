// The constructed values: SEQUENCE, CHOICE and SEQUENCE OF.

#include "test_module.h"

#include "per/per_test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using TestModule::Inner;
using TestModule::InnerList;
using TestModule::Outer;
using TestModule::Pick;

// Outer { id 5, colour ef, pick inner { flag TRUE, label "deep" }, e1 TRUE }
Outer threeLevels()
{
    Outer outer;
    outer.get_id() = 5u;
    outer.includeOptionalField(0, Outer::colour);
    outer.field<TestModule::Dscp>(Outer::colour).setValue(TestModule::Dscp::ef);
    Inner inner;
    inner.set_flag(true);
    inner.includeOptionalField(0, 1);
    inner.set_label("deep");
    outer.get_pick().setSelection(Pick::inner, inner.clone());
    outer.includeOptionalField(2 + 1, Outer::e1);
    return outer;
}

InnerList listOf(std::initializer_list<bool> flags)
{
    InnerList list;
    for (bool flag : flags) {
        Inner inner;
        inner.set_flag(flag);
        list.push_back(inner);
    }
    return list;
}

std::vector<bool> flagsOf(const InnerList& list)
{
    std::vector<bool> flags;
    for (const Inner& inner : list)
        flags.push_back(inner.get_flag().getValue());
    return flags;
}

TEST(Asn1Sequence, IncludingAnAdditionSetsItsExtensionBit)
{
    Outer outer;
    outer.includeOptionalField(2 + 4, Outer::e4);
    ASSERT_EQ(outer.extensionMap().size(), 5u);
    EXPECT_EQ(outer.extensionMap().getData(), std::vector<char>{0x08});
    EXPECT_NE(dynamic_cast<ASN1::OCTET_STRING*>(outer.getField(Outer::e4)), nullptr);
    outer.includeOptionalField(2 + 1, Outer::e1);
    EXPECT_EQ(outer.extensionMap().getData(), std::vector<char>{0x48});
    outer.removeOptionalField(2 + 4);
    EXPECT_EQ(outer.extensionMap().getData(), std::vector<char>{0x40});
    // Including again brings back the value it held.
    outer.field<ASN1::OCTET_STRING>(Outer::e4).getValue() = {'x'};
    outer.includeOptionalField(2 + 4, Outer::e4);
    EXPECT_EQ(outer.field<ASN1::OCTET_STRING>(Outer::e4).getValue(), std::vector<char>{'x'});

    // An id beyond the known additions is not a field of this type.
    outer.includeOptionalField(2 + 6, Outer::e5);
    EXPECT_EQ(outer.extensionMap().size(), 5u);
    EXPECT_EQ(outer.getField(Outer::e5), nullptr);
}

TEST(Asn1Sequence, DeepCopyOfAThreeLevelTree)
{
    const Outer original = threeLevels();
    Outer copy = original;
    EXPECT_EQ(copy.compare(original), 0);
    const Inner* copied_inner = copy.get_pick().get_inner();
    ASSERT_NE(copied_inner, nullptr);
    EXPECT_NE(copied_inner, original.get_pick().get_inner());
    const_cast<Inner*>(copied_inner)->set_label("changed");
    EXPECT_NE(copy.compare(original), 0);
    EXPECT_EQ(original.get_pick().get_inner()->get_label().getValue(), "deep");

    std::unique_ptr<ASN1::AbstractData> clone(original.clone());
    auto* cloned = dynamic_cast<Outer*>(clone.get());
    ASSERT_NE(cloned, nullptr);
    EXPECT_EQ(cloned->compare(original), 0);
    EXPECT_NE(cloned->get_pick().get_inner(), original.get_pick().get_inner());
}

TEST(Asn1Sequence, ComparisonSeesPresenceValuesAndAdditions)
{
    const Outer base = threeLevels();
    Outer other = base;
    other.removeOptionalField(0);
    EXPECT_EQ(base.compare(other), 1);
    EXPECT_EQ(other.compare(base), -1);
    // An absent component's leftover value does not count.
    Outer leftover = other;
    leftover.field<TestModule::Dscp>(Outer::colour).setValue(TestModule::Dscp::cs0);
    EXPECT_EQ(leftover.compare(other), 0);

    other = base;
    other.removeOptionalField(2 + 1);
    EXPECT_NE(other.compare(base), 0);
}

TEST(Asn1Sequence, APresenceBitWithoutItsComponentFailsTheWalk)
{
    Outer outer;
    outer.get_pick().createSelection(Pick::nothing);
    ASSERT_TRUE(PerTest::encodes(outer));
    outer.optionalMap().set(1);  // as a decoder might leave it
    EXPECT_FALSE(PerTest::encodes(outer));

    Outer addition;
    addition.get_pick().createSelection(Pick::nothing);
    addition.extensionMap().resize(6);
    addition.extensionMap().set(5);
    EXPECT_FALSE(PerTest::encodes(addition));
}

TEST(Asn1Choice, UnknownSelectionsHoldNothing)
{
    Pick pick;
    ASSERT_TRUE(pick.createSelection(Pick::octets));  // a known addition
    EXPECT_NE(pick.getSelectionAs<ASN1::OCTET_STRING>(Pick::octets), nullptr);
    for (int unknown : {4, 63, -1, -7}) {
        EXPECT_FALSE(pick.createSelection(unknown)) << unknown;
        EXPECT_EQ(pick.currentSelection(), -2);
        EXPECT_EQ(pick.getSelection(), nullptr);
    }
    // setSelection takes (and deletes) the value of an unknown index.
    EXPECT_EQ(pick.setSelection(4, new ASN1::Null), nullptr);
    EXPECT_EQ(pick.currentSelection(), -2);
    EXPECT_EQ(pick.setSelection(-1, new ASN1::Null), nullptr);
    EXPECT_EQ(pick.currentSelection(), -1);
    EXPECT_EQ(Pick(&Pick::theInfo, 17, new ASN1::INTEGER(4)).currentSelection(), -2);
}

TEST(Asn1Choice, TypedAccessReadsOnlyTheSelectedAlternativeOfItsClass)
{
    Pick pick;
    EXPECT_EQ(pick.get_inner(), nullptr);
    pick.createSelection(Pick::number);
    EXPECT_EQ(pick.get_inner(), nullptr);
    EXPECT_EQ(pick.getSelectionAs<ASN1::INTEGER>(Pick::inner), nullptr);
    EXPECT_NE(pick.getSelectionAs<ASN1::INTEGER>(Pick::number), nullptr);

    // A value of another class under the right index is not read as that alternative either.
    pick.setSelection(Pick::inner, new ASN1::INTEGER(3));
    EXPECT_EQ(pick.get_inner(), nullptr);
    EXPECT_NE(pick.getSelectionAs<ASN1::INTEGER>(Pick::inner), nullptr);
    EXPECT_EQ(static_cast<const Pick&>(pick).getSelectionAs<ASN1::INTEGER>(Pick::number), nullptr);
}

TEST(Asn1SequenceOf, AssignmentFromTwoToThreeReplacesElementsWithClones)
{
    const InnerList two = listOf({true, false});
    InnerList three = listOf({false, false, true});
    three = two;
    EXPECT_EQ(flagsOf(three), (std::vector<bool>{true, false}));
    EXPECT_NE(&three[0], &two[0]);
    EXPECT_EQ(three.compare(two), 0);
    three[0].set_flag(false);
    EXPECT_TRUE(two[0].get_flag().getValue());
}

TEST(Asn1SequenceOf, InsertsClonesOfItsOwnRangeAndComparesElementsThenCount)
{
    InnerList list = listOf({false, true});
    const ASN1::SEQUENCE_OF_Base& base = list;
    list.insert(list.SEQUENCE_OF_Base::end(), base.begin(), base.end());
    EXPECT_EQ(flagsOf(list), (std::vector<bool>{false, true, false, true}));
    list.SEQUENCE_OF_Base::erase(base.begin() + 1, base.begin() + 3);
    EXPECT_EQ(flagsOf(list), (std::vector<bool>{false, true}));

    EXPECT_GT(listOf({true}).compare(listOf({false, false})), 0);
    EXPECT_EQ(listOf({true, false}).compare(listOf({true})), 1);
    EXPECT_EQ(listOf({}).compare(listOf({true, true})), -2);
}

}  // namespace
