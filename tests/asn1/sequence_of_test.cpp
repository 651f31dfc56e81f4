#include "test_module.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using TestModule::Inner;
using TestModule::InnerList;

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

TEST(Asn1SequenceOf, DescriptorIsConstantTemplateData)
{
    static_assert(InnerList::theInfo.tag == 0x10);
    static_assert(ASN1::SET_OF<Inner>::theInfo.tag == 0x11);
    static_assert(InnerList::theInfo.elementInfo == &Inner::theInfo);
    static_assert(InnerList::theInfo.type == ASN1::Unconstrained && InnerList::theInfo.upperLimit == 0xffffffffu);
    std::unique_ptr<ASN1::AbstractData> made(InnerList::theInfo.create(&InnerList::theInfo));
    EXPECT_NE(dynamic_cast<InnerList*>(made.get()), nullptr);
}

TEST(Asn1SequenceOf, AssignmentReplacesElementsWithClones)
{
    const InnerList two = listOf({true, false});
    InnerList three = listOf({false, false, true});
    three = two;
    ASSERT_EQ(three.size(), 2u);
    EXPECT_EQ(flagsOf(three), (std::vector<bool>{true, false}));
    EXPECT_NE(&three[0], &two[0]);
    EXPECT_EQ(three.compare(two), 0);
    three[0].set_flag(false);
    EXPECT_TRUE(two[0].get_flag().getValue());
}

TEST(Asn1SequenceOf, ResizeInsertAndErase)
{
    InnerList list = listOf({true});
    list.resize(3);
    EXPECT_EQ(flagsOf(list), (std::vector<bool>{true, false, false}));
    list.resize(1);
    EXPECT_EQ(flagsOf(list), (std::vector<bool>{true}));

    Inner off;
    list.insert(list.SEQUENCE_OF_Base::begin(), 2, off);
    EXPECT_EQ(flagsOf(list), (std::vector<bool>{false, false, true}));
    // Clones of its own range.
    const ASN1::SEQUENCE_OF_Base& base = list;
    list.insert(list.SEQUENCE_OF_Base::end(), base.begin() + 1, base.end());
    EXPECT_EQ(flagsOf(list), (std::vector<bool>{false, false, true, false, true}));

    auto next = list.erase(list.begin());
    EXPECT_EQ(next, list.begin());
    next = list.erase(++list.begin());
    EXPECT_FALSE(next->get_flag().getValue());
    EXPECT_EQ(flagsOf(list), (std::vector<bool>{false, false, true}));
    list.SEQUENCE_OF_Base::erase(base.begin(), base.begin() + 2);
    EXPECT_EQ(flagsOf(list), (std::vector<bool>{true}));
    list.clear();
    EXPECT_TRUE(list.empty());
}

TEST(Asn1SequenceOf, ComparesElementsThenCount)
{
    EXPECT_EQ(listOf({true, false}).compare(listOf({true, false})), 0);
    EXPECT_GT(listOf({true}).compare(listOf({false, false})), 0);
    EXPECT_EQ(listOf({true, false}).compare(listOf({true})), 1);
    EXPECT_EQ(listOf({}).compare(listOf({true, true})), -2);

    const InnerList original = listOf({true, false});
    std::unique_ptr<ASN1::AbstractData> clone(original.clone());
    auto* cloned = dynamic_cast<InnerList*>(clone.get());
    ASSERT_NE(cloned, nullptr);
    EXPECT_EQ(flagsOf(*cloned), (std::vector<bool>{true, false}));
}

}  // namespace
