#include "asn1/runtime/ber_tags.h"
#include "asn1/ber/ber_test_support.h"
#include "asn1/test_module.h"
#include "asn1/modules/LGCP.h"

namespace {

using ASN1::detail::Allocator;
using bertest::bytes;
using bertest::decode;
using bertest::encode;
using Info = const ASN1::AbstractData::InfoType*;

const int mandatoryPair[] = {-1, -1};

// Pair ::= SEQUENCE { inner Inner, note IA5String }: the note carries the tag [1] that Inner's
// optional label has too.
const Info pairInfos[] = {&TestModule::Inner::theInfo, &ASN1::IA5String::theInfo};
const char* const pairNames[] = {"inner", "note"};
const ASN1::SEQUENCE::InfoType Pair = {
    {&Allocator<ASN1::SEQUENCE>::create, 0x10}, false, pairInfos, mandatoryPair, 2, 0, 0, nullptr, nullptr, pairNames};

const ASN1::SEQUENCE::InfoType Empty = {
    {&Allocator<ASN1::SEQUENCE>::create, 0x10}, false, nullptr, nullptr, 0, 0, 0, nullptr, nullptr, nullptr};

TEST(BerDecoder, ValuesEndingAtTheEndOfTheInput)
{
    ASN1::OBJECT_IDENTIFIER oid;
    EXPECT_TRUE(decode(bytes({0x06, 0x03, 0x2b, 0x06, 0x01}), oid));
    EXPECT_EQ(oid.getValue(), (std::vector<unsigned>{1, 3, 6, 1}));
    ASN1::BMPString bmp;
    EXPECT_TRUE(decode(bytes({0x1e, 0x04, 0x00, 0x41, 0x04, 0x16}), bmp));
    EXPECT_EQ(bmp.getValue(), L"A\x0416");
    ASN1::SEQUENCE empty(&Empty);
    EXPECT_TRUE(decode(bytes({0x30, 0x00}), empty));
    // Octets after the value are not examined.
    ASN1::INTEGER integer;
    EXPECT_TRUE(decode(bytes({0x02, 0x01, 0x05, 0xff}), integer));
}

TEST(BerDecoder, InnerOptionalFieldEndsWithItsContent)
{
    ASN1::SEQUENCE pair(&Pair);
    EXPECT_TRUE(decode(bytes({0x30, 0x0a, 0xa0, 0x03, 0x80, 0x01, 0x00, 0x81, 0x03, 'a', 'b', 'c'}), pair));
    EXPECT_FALSE(pair.field<ASN1::SEQUENCE>(0).hasOptionalField(0));
    EXPECT_EQ(pair.field<ASN1::IA5String>(1).getValue(), "abc");
}

TEST(BerDecoder, ComponentTagsMustMatch)
{
    LGCP::Message message;
    EXPECT_TRUE(decode(bytes({0x30, 0x09, 0x80, 0x01, 0x07, 0xa2, 0x04, 0xa1, 0x02, 0x80, 0x00}), message));
    // pdu tagged [3]; an alternative of Response that does not exist; a primitive universal tag
    // where an alternative's context tag belongs.
    for (const auto& wrong : {bytes({0x30, 0x09, 0x80, 0x01, 0x07, 0xa3, 0x04, 0xa1, 0x02, 0x80, 0x00}),
                              bytes({0x30, 0x09, 0x80, 0x01, 0x07, 0xa2, 0x04, 0xa1, 0x02, 0x85, 0x00}),
                              bytes({0x30, 0x09, 0x80, 0x01, 0x07, 0xa2, 0x04, 0xa1, 0x02, 0x05, 0x00})}) {
        LGCP::Message fresh;
        EXPECT_FALSE(decode(wrong, fresh));
    }
    LGCP::TrunkCfg cfg;
    EXPECT_FALSE(decode(bytes({0x30, 0x06, 0x80, 0x01, 0x01, 0x82, 0x01, 0x01}), cfg));
    // A field running past the end of its SEQUENCE.
    EXPECT_FALSE(decode(bytes({0x30, 0x03, 0x80, 0x02, 0x01, 0x01, 0x00}), cfg));
}

TEST(BerDecoder, IndefiniteLengthOctetReadsAsEmpty)
{
    ASN1::Null null;
    EXPECT_TRUE(decode(bytes({0x05, 0x80}), null));
    ASN1::OCTET_STRING octets(2, 'x');
    EXPECT_TRUE(decode(bytes({0x04, 0x80}), octets));
    EXPECT_EQ(octets.size(), 0u);
}

TEST(BerDecoder, HostileInputsFailWithoutAllocating)
{
    ASN1::OCTET_STRING octets;
    EXPECT_FALSE(decode(bytes({0x04, 0x84, 0xff, 0xff, 0xff, 0xff}), octets));
    EXPECT_FALSE(decode(bytes({0x04, 0x85, 0x00, 0x00, 0x00, 0x00, 0x01, 0xaa}), octets));
    EXPECT_FALSE(decode(bytes({0x04, 0x82, 0x01}), octets));
    EXPECT_FALSE(decode(bytes({0x04, 0x03, 0x01, 0x02}), octets));
    ASN1::IA5String text;
    EXPECT_FALSE(decode(bytes({0x16, 0x84, 0x7f, 0xff, 0xff, 0xff, 'a'}), text));
    ASN1::SEQUENCE_OF<ASN1::INTEGER> list;
    EXPECT_FALSE(decode(bytes({0x30, 0x84, 0x7f, 0xff, 0xff, 0xff, 0x02, 0x01, 0x01}), list));
    EXPECT_FALSE(decode(bytes({0x30, 0x04, 0x02, 0x01, 0x01, 0x02}), list));
    ASN1::BMPString bmp;
    EXPECT_FALSE(decode(bytes({0x1e, 0x03, 0x00, 0x41, 0x00}), bmp));
    ASN1::BIT_STRING bits;
    EXPECT_FALSE(decode(bytes({0x03, 0x02, 0x08, 0xff}), bits));
    EXPECT_FALSE(decode(bytes({0x03, 0x01, 0x03}), bits));
    EXPECT_FALSE(decode(bytes({0x03, 0x00}), bits));

    // Tag numbers up to 65535 only; an open type takes any tag.
    ASN1::OpenData open;
    EXPECT_TRUE(decode(bytes({0x9f, 0x83, 0xff, 0x7f, 0x00}), open));
    EXPECT_FALSE(decode(bytes({0x9f, 0x84, 0x80, 0x00, 0x00}), open));
    EXPECT_FALSE(decode(bytes({0x9f, 0x80, 0x80, 0x80, 0x80, 0x80}), open));
}

TEST(BerDecoder, IntegersMustFitThirtyTwoBits)
{
    ASN1::INTEGER integer;
    EXPECT_TRUE(decode(bytes({0x02, 0x05, 0x00, 0xff, 0xff, 0xff, 0xfe}), integer));
    EXPECT_EQ(static_cast<unsigned>(integer.getValue()), 0xfffffffeu);
    EXPECT_FALSE(decode(bytes({0x02, 0x05, 0x01, 0x00, 0x00, 0x00, 0x00}), integer));
    EXPECT_FALSE(decode(bytes({0x02, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}), integer));
    EXPECT_FALSE(decode(bytes({0x02, 0x00}), integer));
    LGCP::ErrorCause cause;
    EXPECT_TRUE(decode(bytes({0x0a, 0x01, 0xff}), cause));
    EXPECT_EQ(cause.getValue(), -1);

    ASN1::BOOLEAN flag;
    EXPECT_TRUE(decode(bytes({0x01, 0x01, 0x05}), flag));
    EXPECT_TRUE(flag.getValue());
}

TEST(BerDecoder, UnknownExtensionAdditionsAreSkipped)
{
    TestModule::Outer outer;
    outer.get_id() = 9;
    outer.get_pick().setSelection(TestModule::Pick::number, new ASN1::INTEGER(3));
    for (unsigned k = 0; k < 6; ++k)
        outer.includeOptionalField(2 + k, TestModule::Outer::e0 + k);
    outer.field<ASN1::INTEGER>(TestModule::Outer::e0).setValue(77);
    ASN1::SEQUENCE_OF<TestModule::Outer> list;
    list.push_back(outer);
    list.push_back(outer);

    // The same list read by a version of Outer that knows only the first two additions.
    ASN1::SEQUENCE::InfoType older = TestModule::Outer::theInfo;
    older.numKnownExtensions = 2;
    const ASN1::SEQUENCE_OF_Base::InfoType olderList = {
        {{&Allocator<ASN1::SEQUENCE_OF_Base>::create, 0x10}, ASN1::Unconstrained, 0, 0xffffffffu}, &older};
    ASN1::SEQUENCE_OF_Base back(&olderList);
    ASSERT_TRUE(decode(encode(list), back));
    ASSERT_EQ(back.size(), 2u);
    const auto& second = static_cast<const ASN1::SEQUENCE&>(back[1]);
    EXPECT_EQ(second.field<ASN1::INTEGER>(TestModule::Outer::e0).getValue(), 77);
    EXPECT_FALSE(second.hasOptionalField(2 + 2));
}

// InnerPick ::= CHOICE { b BOOLEAN, i INTEGER } and OuterPick ::= CHOICE { inner InnerPick,
// octets OCTET STRING }, both keeping the alternatives' universal tags (inner untagged).
const Info innerPickInfos[] = {&ASN1::BOOLEAN::theInfo, &ASN1::INTEGER::theInfo};
const unsigned innerPickTags[] = {1, 2};
const char* const innerPickNames[] = {"b", "i"};
const ASN1::CHOICE::InfoType InnerPick = {
    {&Allocator<ASN1::CHOICE>::create, 0}, false, innerPickInfos, 2, 2, innerPickTags, innerPickNames};
const Info outerPickInfos[] = {&InnerPick, &ASN1::OCTET_STRING::theInfo};
const unsigned outerPickTags[] = {0, 4};
const char* const outerPickNames[] = {"inner", "octets"};
const ASN1::CHOICE::InfoType OuterPick = {
    {&Allocator<ASN1::CHOICE>::create, 0}, false, outerPickInfos, 2, 2, outerPickTags, outerPickNames};

TEST(BerDecoder, ChoiceTagTablesWithAnUntaggedInnerChoice)
{
    ASN1::CHOICE pick(&OuterPick, 0, new ASN1::CHOICE(&InnerPick, 1, new ASN1::INTEGER(5)));
    EXPECT_EQ(encode(pick), bytes({0x02, 0x01, 0x05}));
    ASN1::CHOICE back(&OuterPick);
    EXPECT_TRUE(decode(bytes({0x02, 0x01, 0x05}), back));
    EXPECT_EQ(back, pick);
    EXPECT_TRUE(decode(bytes({0x04, 0x01, 0xaa}), back));
    EXPECT_EQ(back.currentSelection(), 1);
    EXPECT_FALSE(decode(bytes({0x05, 0x00}), back));
    EXPECT_EQ(back.currentSelection(), -2);
}

// Universal tags for the fields; the middle one optional.
const Info plainInfos[] = {&ASN1::INTEGER::theInfo, &ASN1::BOOLEAN::theInfo, &ASN1::OCTET_STRING::theInfo};
const int plainIds[] = {-1, 0, -1};
const char* const plainNames[] = {"a", "b", "c"};
const ASN1::SEQUENCE::InfoType Plain = {{&Allocator<ASN1::SEQUENCE>::create, 0x10}, false, plainInfos, plainIds,
                                        3,  0, 1, nullptr, ASN1::SEQUENCE::defaultTag, plainNames};

TEST(BerDecoder, OwnTagsTellAbsentFields)
{
    ASN1::SEQUENCE plain(&Plain);
    plain.field<ASN1::INTEGER>(0).setValue(5);
    EXPECT_EQ(encode(plain), bytes({0x30, 0x05, 0x02, 0x01, 0x05, 0x04, 0x00}));
    ASN1::SEQUENCE back(&Plain);
    EXPECT_TRUE(decode(encode(plain), back));
    EXPECT_EQ(back, plain);
    EXPECT_FALSE(back.hasOptionalField(0));
}

// Tried ::= SEQUENCE { pick Pick OPTIONAL, n INTEGER } with the fields' own tags: the untagged
// CHOICE has no tag to look for, so it is tried in place.
const Info triedInfos[] = {&TestModule::Pick::theInfo, &ASN1::INTEGER::theInfo};
const int triedIds[] = {0, -1};
const char* const triedNames[] = {"pick", "n"};
const ASN1::SEQUENCE::InfoType Tried = {{&Allocator<ASN1::SEQUENCE>::create, 0x10}, false, triedInfos, triedIds,
                                        2,  0, 1, nullptr, ASN1::SEQUENCE::defaultTag, triedNames};

TEST(BerDecoder, UntaggedOptionalChoiceIsTriedInPlace)
{
    ASN1::SEQUENCE tried(&Tried);
    tried.field<ASN1::INTEGER>(1).setValue(9);
    ASN1::SEQUENCE back(&Tried);
    EXPECT_TRUE(decode(encode(tried), back));
    EXPECT_FALSE(back.hasOptionalField(0));
    EXPECT_EQ(back, tried);

    tried.includeOptionalField(0, 0);
    tried.field<TestModule::Pick>(0).setSelection(TestModule::Pick::number, new ASN1::INTEGER(3));
    EXPECT_EQ(encode(tried), bytes({0x30, 0x06, 0x80, 0x01, 0x03, 0x02, 0x01, 0x09}));
    EXPECT_TRUE(decode(encode(tried), back));
    EXPECT_EQ(back, tried);
}

// Carrier ::= SEQUENCE { carried InnerCarrier, any OpenData }
const Info carrierInfos[] = {&TestModule::InnerCarrier_info, &ASN1::OpenData::theInfo};
const char* const carrierNames[] = {"carried", "any"};
const ASN1::SEQUENCE::InfoType Carrier = {
    {&Allocator<ASN1::SEQUENCE>::create, 0x10}, false, carrierInfos, mandatoryPair, 2, 0, 0, nullptr, nullptr, carrierNames};

TEST(BerDecoder, OpenTypesAsTaggedFields)
{
    ASN1::SEQUENCE carrier(&Carrier);
    auto& carried = static_cast<TestModule::Inner&>(*carrier.field<ASN1::OpenData>(0).getData());
    carried.set_flag(true);
    carrier.field<ASN1::OpenData>(1).setData(new ASN1::INTEGER(5));
    const std::vector<char> encoding = encode(carrier);
    EXPECT_EQ(encoding, bytes({0x30, 0x0c, 0xa0, 0x05, 0x30, 0x03, 0x80, 0x01, 0xff, 0xa1, 0x03, 0x02, 0x01, 0x05}));

    ASN1::SEQUENCE back(&Carrier);
    ASSERT_TRUE(decode(encoding, back));
    EXPECT_EQ(back.field<ASN1::OpenData>(0), carrier.field<ASN1::OpenData>(0));
    auto& any = back.field<ASN1::OpenData>(1);
    EXPECT_EQ(*any.getBuf(), bytes({0x02, 0x01, 0x05}));

    // The held octets decode once the caller supplies the type.
    any.setData(new ASN1::INTEGER);
    ASN1::BERDecoder reader(nullptr, nullptr, nullptr);
    EXPECT_TRUE(reader.revisit(any));
    EXPECT_EQ(static_cast<ASN1::INTEGER*>(any.getData())->getValue(), 5);

    // An untagged open type keeps the whole encoding of what it holds.
    ASN1::OpenData top;
    EXPECT_TRUE(decode(bytes({0x02, 0x01, 0x05, 0x00}), top));
    EXPECT_EQ(*top.getBuf(), bytes({0x02, 0x01, 0x05}));
}

}  // namespace
