// The value classes: presence and extension bits, deep copies, comparison, selections, lists, and
// the primitives' own rules.

#include "test_module.h"

#include "asn1/coding.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

namespace {

using namespace coding;
using TestModule::Dscp;
using TestModule::Inner;
using TestModule::InnerList;
using TestModule::Outer;
using TestModule::Pick;

std::vector<char> octetsOf(const ASN1::BitMap& bits) { return {bits.data(), bits.data() + bits.octetCount()}; }

TEST(Asn1Sequence, IncludingAnAdditionSetsItsExtensionBit)
{
    Outer outer;
    outer.includeOptionalField(2 + 4, Outer::e4);
    ASSERT_EQ(outer.extensionMap().size(), 5u);
    EXPECT_EQ(octetsOf(outer.extensionMap()), bytes({0x08}));
    EXPECT_NE(dynamic_cast<ASN1::OCTET_STRING*>(outer.getField(Outer::e4)), nullptr);
    outer.includeOptionalField(2 + 1, Outer::e1);
    EXPECT_EQ(octetsOf(outer.extensionMap()), bytes({0x48}));
    outer.removeOptionalField(2 + 4);
    EXPECT_EQ(octetsOf(outer.extensionMap()), bytes({0x40}));
    // An id beyond the known additions is not a field of this type.
    outer.includeOptionalField(2 + 6, Outer::e5);
    EXPECT_EQ(outer.extensionMap().size(), 5u);
    EXPECT_EQ(outer.getField(Outer::e5), nullptr);
}

TEST(Asn1Sequence, CopiesAreDeepAndComparisonSeesPresenceValuesAndAdditions)
{
    const char* const text = R"({ id 5, colour ef, pick inner : { flag TRUE, label "deep" }, e1 TRUE })";
    const auto original = read<Outer>(text);
    Outer copy = original;
    std::unique_ptr<ASN1::AbstractData> clone(original.clone());
    EXPECT_EQ(*clone, original);
    copy.get_pick().getSelectionAs<Inner>(Pick::inner)->set_label("changed");
    dynamic_cast<Outer&>(*clone).get_pick().getSelectionAs<Inner>(Pick::inner)->set_flag(false);
    EXPECT_EQ(original, read<Outer>(text));

    Outer other = original;
    other.removeOptionalField(0);
    EXPECT_EQ(original.compare(other), 1);
    EXPECT_EQ(other.compare(original), -1);
    // An absent component's leftover value does not count.
    Outer leftover = other;
    leftover.field<Dscp>(Outer::colour).setValue(Dscp::cs0);
    EXPECT_EQ(leftover.compare(other), 0);
    other = original;
    other.removeOptionalField(2 + 1);
    EXPECT_NE(other.compare(original), 0);
}

TEST(Asn1Sequence, APresenceBitWithoutItsComponentFailsTheWalk)
{
    Outer outer;
    outer.get_pick().createSelection(Pick::nothing);
    ASSERT_NE(encode(outer), refused);
    Outer addition = outer;
    outer.optionalMap().set(1);  // as a decoder might leave it
    EXPECT_EQ(encode(outer), refused);
    addition.extensionMap().resize(6);
    addition.extensionMap().set(5);
    EXPECT_EQ(encode(addition), refused);
}

TEST(Asn1Sequence, MovingTakesTheComponentsAndLeavesAValueToAssignTo)
{
    const char* const text =
        R"({ id 5, pick inner : { flag TRUE, label "kept" }, items { { flag FALSE } }, e5 { flag TRUE } })";
    auto source = read<Outer>(text);
    const ASN1::AbstractData* pick = &source.get_pick();
    const ASN1::AbstractData* inner = source.get_pick().getSelection();
    const ASN1::AbstractData* addition = source.getField(Outer::e5);
    Outer moved(std::move(source));
    EXPECT_EQ(&moved.get_pick(), pick);
    EXPECT_EQ(moved.getField(Outer::e5), addition);
    EXPECT_EQ(moved, read<Outer>(text));
    Pick alternative(std::move(moved.get_pick()));
    EXPECT_EQ(alternative.getSelection(), inner);
    EXPECT_EQ(moved.get_pick().currentSelection(), -1);

    source = read<Outer>(text);
    moved = std::move(source);
    EXPECT_EQ(moved, read<Outer>(text));
    source = moved;
    EXPECT_EQ(source, moved);
}

// Part ::= SEQUENCE { n INTEGER, octets OCTET STRING (SIZE (2..4)) OPTIONAL, ... }, its octets
// described by hand without a size, as older descriptors are.
const ASN1::ConstrainedObject::InfoType SizedOctets = {{&ASN1::detail::Allocator<ASN1::OCTET_STRING>::create, 4},
                                                       ASN1::FixedConstraint, 2, 4};
const ASN1::AbstractData::InfoType* const partInfos[] = {&ASN1::INTEGER::theInfo, &SizedOctets};
const int partIds[] = {-1, 0};
const char* const partNames[] = {"n", "octets"};
const ASN1::SEQUENCE::InfoType Part = {ASN1::detail::Allocator<ASN1::SEQUENCE>::info(0x10),
                                       true,
                                       partInfos,
                                       partIds,
                                       2,
                                       0,
                                       1,
                                       nullptr,
                                       nullptr,
                                       partNames};

TEST(Asn1Sequence, ComponentsWhoseDescriptorGivesNoSizeAreHeldOnTheirOwn)
{
    const auto part = read(&Part, "{ n 3, octets '0102'H }");
    const std::unique_ptr<ASN1::AbstractData> copy(part->clone());
    EXPECT_EQ(*copy, *part);
    ASSERT_TRUE(decode(encode(*read(&Part, "{ n 4 }")), *copy));
    EXPECT_EQ(*copy, *read(&Part, "{ n 4 }"));
    ASSERT_TRUE(decode(encode(*part), *copy));
    EXPECT_EQ(*copy, *part);
}

TEST(Asn1BitMap, MapsBeyondSixtyFourBitsKeepTheirBits)
{
    ASN1::BitMap bits(60);
    bits.set(3);
    bits.resize(130);
    bits.set(129);
    EXPECT_TRUE(bits[3] && bits[129] && !bits[64]);
    ASN1::BitMap copy = bits;
    ASN1::BitMap moved = std::move(bits);
    EXPECT_EQ(octetsOf(copy), octetsOf(moved));
    moved.resize(4);
    moved.resize(70);
    EXPECT_EQ(octetsOf(moved), std::vector<char>({0x10, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(Asn1Choice, UnknownSelectionsHoldNothing)
{
    Pick pick;
    ASSERT_TRUE(pick.createSelection(Pick::octets));  // a known addition
    for (int unknown : {4, 63, -1, -7}) {
        EXPECT_FALSE(pick.createSelection(unknown)) << unknown;
        EXPECT_EQ(pick.getSelection(), nullptr);
    }
    // setSelection and the constructor take (and delete) the value of an unknown index.
    EXPECT_EQ(pick.setSelection(4, new ASN1::Null), nullptr);
    EXPECT_EQ(pick.currentSelection(), -2);
    EXPECT_EQ(Pick(&Pick::theInfo, 17, new ASN1::INTEGER(4)).currentSelection(), -2);
}

TEST(Asn1SequenceOf, CopiesAndInsertsClonesAndComparesElementsThenCount)
{
    const auto two = read<InnerList>("{ { flag TRUE }, { flag FALSE } }");
    auto list = read<InnerList>("{ { flag FALSE }, { flag FALSE }, { flag TRUE } }");
    list = two;
    EXPECT_EQ(list, two);
    EXPECT_NE(&list[0], &two[0]);
    // Its own range inserted into itself.
    const ASN1::SEQUENCE_OF_Base& base = list;
    list.insert(list.SEQUENCE_OF_Base::end(), base.begin(), base.end());
    EXPECT_EQ(list, read<InnerList>("{ { flag TRUE }, { flag FALSE }, { flag TRUE }, { flag FALSE } }"));
    list.SEQUENCE_OF_Base::erase(base.begin() + 1, base.begin() + 3);
    EXPECT_EQ(list, two);

    // Copies of one element, each its own.
    list.insert(base.begin() + 1, 2, read<Inner>("{ flag FALSE, label \"x\" }"));
    EXPECT_EQ(list, read<InnerList>("{ { flag TRUE }, { flag FALSE, label \"x\" }, { flag FALSE, label \"x\" }, "
                                    "{ flag FALSE } }"));
    EXPECT_NE(&list[1], &list[2]);
    std::unique_ptr<ASN1::AbstractData> cloned(list.clone());
    EXPECT_EQ(*cloned, list);
    list.SEQUENCE_OF_Base::erase(base.begin() + 1, base.begin() + 3);

    const auto one = read<InnerList>("{ { flag TRUE } }");
    EXPECT_GT(one.compare(read<InnerList>("{ { flag FALSE }, { flag FALSE } }")), 0);
    EXPECT_EQ(two.compare(one), 1);
    EXPECT_EQ(InnerList().compare(two), -2);
}

TEST(Asn1OpenData, CopiesAreDeepAndCompareByValueThenByOctets)
{
    ASN1::OpenData value(&ASN1::OpenData::theInfo, new ASN1::INTEGER(5));
    ASN1::OpenData copy(value);
    ASSERT_TRUE(copy.has_data());
    EXPECT_NE(copy.getData(), value.getData());
    EXPECT_EQ(copy, value);
    static_cast<ASN1::INTEGER*>(copy.getData())->setValue(6);
    EXPECT_LT(value.compare(copy), 0);

    ASN1::OpenData octets;
    octets.setBuf(bytes({0x02, 0x01, 0x05}));
    ASN1::OpenData assigned;
    assigned = octets;
    ASSERT_TRUE(assigned.has_buf());
    EXPECT_NE(assigned.getBuf(), octets.getBuf());
    EXPECT_EQ(assigned, octets);
    ASN1::OpenData higher;
    higher.setBuf(bytes({0x02, 0x01, 0x06}));
    EXPECT_LT(octets.compare(higher), 0);
    // Decoded before encoded before empty.
    const ASN1::OpenData empty;
    EXPECT_GT(value.compare(octets), 0);
    EXPECT_LT(octets.compare(value), 0);
    EXPECT_EQ(empty.compare(ASN1::OpenData()), 0);
    std::unique_ptr<ASN1::AbstractData> clone(value.clone());
    EXPECT_EQ(*clone, value);

    value.swap(assigned);
    EXPECT_TRUE(value.has_buf() && !value.has_data());
    EXPECT_TRUE(assigned.has_data() && !assigned.has_buf());
}

TEST(Asn1Primitives, CountBitsOfRanges)
{
    for (const auto& [n, bits] : {std::pair{0u, 32u}, {1u, 0u}, {2u, 1u}, {3u, 2u}, {4u, 2u}, {256u, 8u}, {257u, 9u},
                                  {0x80000001u, 32u}})
        EXPECT_EQ(ASN1::CountBits(n), bits) << n;
}

TEST(Asn1Primitives, CompareOctetsUnsignedAndOrderDifferentTypesByDescriptor)
{
    EXPECT_LT(ASN1::OCTET_STRING(bytes({0x61, 0x62})).compare(ASN1::OCTET_STRING(bytes({0x61, 0x62, 0x63}))), 0);
    EXPECT_GT(ASN1::OCTET_STRING(bytes({0x80})).compare(ASN1::OCTET_STRING(bytes({0x01}))), 0);
    EXPECT_NE(ASN1::INTEGER(7).compare(ASN1::INTEGER(7, &TestModule::Id::theInfo)), 0);
    EXPECT_NE(ASN1::IA5String("a").compare(ASN1::VisibleString("a")), 0);
    // Open types may hold anything; their comparison must not read one class as another.
    const ASN1::OpenData holdsInteger(&ASN1::OpenData::theInfo, new ASN1::INTEGER(1));
    const ASN1::OpenData holdsSequence(&ASN1::OpenData::theInfo, new Inner);
    EXPECT_NE(holdsInteger.compare(holdsSequence), 0);
    EXPECT_EQ(holdsInteger.compare(holdsSequence), -holdsSequence.compare(holdsInteger));
}

TEST(Asn1Primitives, EnumeratedNamesFromTheNumberedTable)
{
    Dscp dscp;
    for (const auto& [value, name] :
         {std::pair{0, "cs0"}, {1, "le"}, {8, "cs1"}, {10, "af11"}, {46, "ef"}, {56, "cs7"}, {23, "count"}}) {
        dscp.setValue(value);
        EXPECT_EQ(dscp.getName(), name) << value;
        dscp.setValue(-7);
        ASSERT_TRUE(dscp.setFromName(name)) << name;
        EXPECT_EQ(dscp.getValue(), value);
    }
    // Without a name (or outside 0..maxEnumValue, even when an entry carries it) the caller
    // prints the number.
    for (int unnamed : {2, 9, 55, -1, 60, 61}) {
        dscp.setValue(unnamed);
        EXPECT_TRUE(dscp.getName().empty()) << unnamed;
    }
    // A known name above the root maximum takes its value but reports it.
    EXPECT_FALSE(dscp.setFromName("beyond"));
    EXPECT_EQ(dscp.getValue(), 60);
    // Unknown names, and the "=N" spelling itself, change nothing.
    dscp.setValue(Dscp::ef);
    for (const char* unknown : {"", "e", "ef=46", "cs7 ", "EF"})
        EXPECT_FALSE(dscp.setFromName(unknown)) << unknown;
    EXPECT_EQ(dscp.getValue(), 46);
}

}  // namespace
