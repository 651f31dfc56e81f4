// Known BER encodings checked both ways, and what the decoder makes of tags, lengths and octets
// that a peer may get wrong.

#include "asn1/coding.h"
#include "asn1/modules/LGCP.h"
#include "asn1/test_module.h"

namespace {

using ASN1::detail::Allocator;
using namespace coding;

const int mandatoryPair[] = {-1, -1};

// HighTagged ::= SEQUENCE { low [31] INTEGER, high [200] INTEGER }
const unsigned highTags[] = {ASN1::ber::contextTag(31), ASN1::ber::contextTag(200)};
const Info twoIntegers[] = {&ASN1::INTEGER::theInfo, &ASN1::INTEGER::theInfo};
const char* const highNames[] = {"low", "high"};
const ASN1::SEQUENCE::InfoType HighTagged = {
    {&Allocator<ASN1::SEQUENCE>::create, 0x10}, false, twoIntegers, mandatoryPair, 2, 0, 0, nullptr, highTags, highNames};

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

// Plain ::= SEQUENCE { a INTEGER, b BOOLEAN OPTIONAL, pick Pick OPTIONAL, c OCTET STRING } with the
// fields' own tags: absent fields are told by the next tag, and the untagged CHOICE, having no tag
// to look for, is tried in place.
const Info plainInfos[] = {&ASN1::INTEGER::theInfo, &ASN1::BOOLEAN::theInfo, &TestModule::Pick::theInfo,
                           &ASN1::OCTET_STRING::theInfo};
const int plainIds[] = {-1, 0, 1, -1};
const char* const plainNames[] = {"a", "b", "pick", "c"};
const ASN1::SEQUENCE::InfoType Plain = {{&Allocator<ASN1::SEQUENCE>::create, 0x10}, false, plainInfos, plainIds,
                                        4,  0, 2, nullptr, ASN1::SEQUENCE::defaultTag, plainNames};

TEST(BerVectors, KnownEncodingsBothWays)
{
    const Info message = &LGCP::Message::theInfo;
    const struct {
        Info type;
        const char* value;
        std::vector<char> octets;
    } vectors[] = {
        // Context tags for the message's fields, constructed ones around CHOICEs.
        {message, "{ seq 7, slot 12, pdu response : success : NULL }",
         bytes({0x30, 0x0c, 0x80, 0x01, 0x07, 0x81, 0x01, 0x0c, 0xa2, 0x04, 0xa1, 0x02, 0x80, 0x00})},
        {message, "{ seq 7, pdu response : error : unexpectedMsgType }",
         bytes({0x30, 0x0a, 0x80, 0x01, 0x07, 0xa2, 0x05, 0xa1, 0x03, 0x81, 0x01, 0x04})},
        {message, "{ seq 3, pdu command : trunkCfg : { trunk 1, mode master } }",
         bytes({0x30, 0x0f, 0x80, 0x01, 0x03, 0xa2, 0x0a, 0xa0, 0x08, 0xaa, 0x06, 0x80, 0x01, 0x01, 0x81, 0x01, 0x01})},
        // Tag numbers of more than one octet.
        {&HighTagged, "{ low 5, high 6 }", bytes({0x30, 0x09, 0x9f, 0x1f, 0x01, 0x05, 0x9f, 0x81, 0x48, 0x01, 0x06})},
        {&ASN1::BIT_STRING::theInfo, "''B", bytes({0x03, 0x01, 0x00})},
        {&ASN1::BIT_STRING::theInfo, "'101'B", bytes({0x03, 0x02, 0x05, 0xa0})},
        {&ASN1::BOOLEAN::theInfo, "TRUE", bytes({0x01, 0x01, 0xff})},
        {&ASN1::Null::theInfo, "NULL", bytes({0x05, 0x00})},
        {&ASN1::OBJECT_IDENTIFIER::theInfo, "{ 2 100 128 0 }", bytes({0x06, 0x05, 0x81, 0x34, 0x81, 0x00, 0x00})},
        {&ASN1::OBJECT_IDENTIFIER::theInfo, "{ 1 3 6 4294967295 }",
         bytes({0x06, 0x07, 0x2b, 0x06, 0x8f, 0xff, 0xff, 0xff, 0x7f})},
        {&ASN1::IA5String::theInfo, "\"ab\"", bytes({0x16, 0x02, 'a', 'b'})},
        // An untagged inner CHOICE is found by its alternatives' tags.
        {&OuterPick, "inner : i : 5", bytes({0x02, 0x01, 0x05})},
        {&OuterPick, "octets : 'aa'H", bytes({0x04, 0x01, 0xaa})},
        {&Plain, "{ a 5, c ''H }", bytes({0x30, 0x05, 0x02, 0x01, 0x05, 0x04, 0x00})},
        {&Plain, "{ a 5, pick number : 3, c ''H }", bytes({0x30, 0x08, 0x02, 0x01, 0x05, 0x80, 0x01, 0x03, 0x04, 0x00})},
    };
    for (const auto& vector : vectors) {
        SCOPED_TRACE(vector.value);
        expectBothWays(*read(vector.type, vector.value), vector.octets, ber);
    }
    // Integers as the shortest two's complement.
    for (const auto& [value, encoding] : {std::pair{0, bytes({0x02, 0x01, 0x00})}, {127, bytes({0x02, 0x01, 0x7f})},
             {128, bytes({0x02, 0x02, 0x00, 0x80})}, {-128, bytes({0x02, 0x01, 0x80})},
             {-129, bytes({0x02, 0x02, 0xff, 0x7f})}, {0x800000, bytes({0x02, 0x04, 0x00, 0x80, 0x00, 0x00})},
             {-2147483647 - 1, bytes({0x02, 0x04, 0x80, 0x00, 0x00, 0x00})}})
        expectBothWays(ASN1::INTEGER(value), encoding, ber);
    // Short and long length forms.
    for (const auto& [size, header] : {std::pair{127u, bytes({0x04, 0x7f})}, {128u, bytes({0x04, 0x81, 0x80})},
             {256u, bytes({0x04, 0x82, 0x01, 0x00})}, {70000u, bytes({0x04, 0x83, 0x01, 0x11, 0x70})}}) {
        std::vector<char> expected = header;
        expected.insert(expected.end(), size, 'x');
        expectBothWays(ASN1::OCTET_STRING(size, 'x'), expected, ber);
    }
    // Two octets a character; the time as its text.
    expectBothWays(ASN1::BMPString(L"A\x0416"), bytes({0x1e, 0x04, 0x00, 0x41, 0x04, 0x16}), ber);
    expectBothWays(ASN1::GeneralizedTime(2024, 2, 29, 13, 5, 9, 0, 0, true),
                   bytes({0x18, 0x0f, '2', '0', '2', '4', '0', '2', '2', '9', '1', '3', '0', '5', '0', '9', 'Z'}), ber);
    expectBothWays(ASN1::GeneralizedTime(1999, 12, 31, 23, 59, 59, 125, -90, false),
                   bytes({0x18, 0x17, '1', '9', '9', '9', '1', '2', '3', '1', '2', '3', '5', '9', '5', '9', '.', '1', '2',
                          '5', '-', '0', '1', '3', '0'}),
                   ber);
    EXPECT_EQ(encode(LGCP::Message(), ber), refused);  // no PDU selected
    EXPECT_EQ(encode(ASN1::OpenData(), ber), refused);  // holds nothing
}

// Carrier ::= SEQUENCE { carried InnerCarrier, any OpenData }, each tagged by its place.
const Info carrierInfos[] = {&TestModule::InnerCarrier_info, &ASN1::OpenData::theInfo};
const char* const carrierNames[] = {"carried", "any"};
const ASN1::SEQUENCE::InfoType Carrier = {{&Allocator<ASN1::SEQUENCE>::create, 0x10},
                                          false, carrierInfos, mandatoryPair, 2, 0, 0, nullptr, nullptr, carrierNames};

TEST(BerOpenTypes, AConstrainedOneDecodesItsTypeAndAnUntypedOneKeepsItsOctetsUntilTheTypeIsKnown)
{
    ASN1::SEQUENCE carrier(&Carrier);
    auto& carried = static_cast<TestModule::Inner&>(*carrier.field<ASN1::OpenData>(0).getData());
    carried.set_flag(true);
    carrier.field<ASN1::OpenData>(1).setData(new ASN1::INTEGER(5));
    const std::vector<char> encoding = encode(carrier, ber);
    EXPECT_EQ(encoding, bytes({0x30, 0x0c, 0xa0, 0x05, 0x30, 0x03, 0x80, 0x01, 0xff, 0xa1, 0x03, 0x02, 0x01, 0x05}));
    EXPECT_EQ(ASN1::getObjectLength(carrier, ASN1::ber::OwnTag), encoding.size());

    ASN1::SEQUENCE back(&Carrier);
    ASSERT_TRUE(decode(encoding, back, ber));
    EXPECT_EQ(back.field<ASN1::OpenData>(0), carrier.field<ASN1::OpenData>(0));
    auto& any = back.field<ASN1::OpenData>(1);
    ASSERT_TRUE(any.has_buf());
    EXPECT_FALSE(any.has_data());
    EXPECT_EQ(*any.getBuf(), bytes({0x02, 0x01, 0x05}));
    // Held octets encode as they came.
    EXPECT_EQ(encode(back, ber), encoding);

    // The held octets decode once the caller supplies the type; octets of another type do not.
    any.setData(new ASN1::INTEGER);
    ASN1::BERDecoder reader(nullptr, nullptr, nullptr);
    EXPECT_TRUE(reader.revisit(any));
    EXPECT_EQ(static_cast<ASN1::INTEGER*>(any.getData())->getValue(), 5);
    any.setData(new ASN1::BOOLEAN);
    EXPECT_FALSE(reader.revisit(any));
    ASN1::OpenData empty;
    EXPECT_FALSE(reader.revisit(empty));

    // An untagged open type keeps the whole encoding of what it holds, and takes any tag.
    ASN1::OpenData top;
    EXPECT_TRUE(decode(bytes({0x02, 0x01, 0x05, 0x00}), top, ber));
    EXPECT_EQ(*top.getBuf(), bytes({0x02, 0x01, 0x05}));
    EXPECT_TRUE(decode(bytes({0x9f, 0x83, 0xff, 0x7f, 0x00}), top, ber));
    // A constrained one whose content is not its type, or runs past its wrapper, fails.
    ASN1::SEQUENCE wrong(&Carrier);
    EXPECT_FALSE(decode(bytes({0x30, 0x08, 0xa0, 0x03, 0x02, 0x01, 0x05, 0xa1, 0x01, 0x05}), wrong, ber));
    EXPECT_FALSE(decode(bytes({0x30, 0x0b, 0xa0, 0x02, 0x30, 0x03, 0x80, 0x01, 0xff, 0xa1, 0x02, 0x05, 0x00}), wrong, ber));
}

// Pair ::= SEQUENCE { inner Inner, note IA5String }: the note carries the tag [1] that Inner's
// optional label has too.
const Info pairInfos[] = {&TestModule::Inner::theInfo, &ASN1::IA5String::theInfo};
const char* const pairNames[] = {"inner", "note"};
const ASN1::SEQUENCE::InfoType Pair = {
    {&Allocator<ASN1::SEQUENCE>::create, 0x10}, false, pairInfos, mandatoryPair, 2, 0, 0, nullptr, nullptr, pairNames};
const ASN1::SEQUENCE::InfoType Empty = {
    {&Allocator<ASN1::SEQUENCE>::create, 0x10}, false, nullptr, nullptr, 0, 0, 0, nullptr, nullptr, nullptr};

TEST(BerDecoder, ReadsOnlyWithinTheInputAndMatchingTags)
{
    const Info message = &LGCP::Message::theInfo;
    const Info octets = &ASN1::OCTET_STRING::theInfo;
    const Info list = &ASN1::SEQUENCE_OF<ASN1::INTEGER>::theInfo;
    const Info integer = &ASN1::INTEGER::theInfo;
    const Info open = &ASN1::OpenData::theInfo;
    const Input inputs[] = {
        // Values ending at the end of the input; octets after a value are not examined.
        {&Empty, bytes({0x30, 0x00}), "{ }"},
        {integer, bytes({0x02, 0x01, 0x05, 0xff}), "5"},
        // A message; pdu tagged [3]; an alternative of Response that does not exist; a primitive
        // universal tag where an alternative's context tag belongs.
        {message, bytes({0x30, 0x09, 0x80, 0x01, 0x07, 0xa2, 0x04, 0xa1, 0x02, 0x80, 0x00}), "{ seq 7, pdu response : success : NULL }"},
        {message, bytes({0x30, 0x09, 0x80, 0x01, 0x07, 0xa3, 0x04, 0xa1, 0x02, 0x80, 0x00}), nullptr},
        {message, bytes({0x30, 0x09, 0x80, 0x01, 0x07, 0xa2, 0x04, 0xa1, 0x02, 0x85, 0x00}), nullptr},
        {message, bytes({0x30, 0x09, 0x80, 0x01, 0x07, 0xa2, 0x04, 0xa1, 0x02, 0x05, 0x00}), nullptr},
        {&LGCP::TrunkCfg::theInfo, bytes({0x30, 0x06, 0x80, 0x01, 0x01, 0x82, 0x01, 0x01}), nullptr},
        // A field running past the end of its SEQUENCE.
        {&LGCP::TrunkCfg::theInfo, bytes({0x30, 0x03, 0x80, 0x02, 0x01, 0x01, 0x00}), nullptr},
        // Indefinite lengths of primitives read as empty.
        {&ASN1::Null::theInfo, bytes({0x05, 0x80}), "NULL"},
        {octets, bytes({0x04, 0x80}), "''H"},
        // Lengths beyond the input or the length of a length: failed without allocating.
        {octets, bytes({0x04, 0x84, 0xff, 0xff, 0xff, 0xff}), nullptr},
        {octets, bytes({0x04, 0x85, 0x00, 0x00, 0x00, 0x00, 0x01, 0xaa}), nullptr},
        {octets, bytes({0x04, 0x82, 0x01}), nullptr},
        {octets, bytes({0x04, 0x03, 0x01, 0x02}), nullptr},
        {&ASN1::IA5String::theInfo, bytes({0x16, 0x84, 0x7f, 0xff, 0xff, 0xff, 'a'}), nullptr},
        {list, bytes({0x30, 0x84, 0x7f, 0xff, 0xff, 0xff, 0x02, 0x01, 0x01}), nullptr},
        {list, bytes({0x30, 0x04, 0x02, 0x01, 0x01, 0x02}), nullptr},
        // Contents that do not fit their type: an odd BMP length, unused bits beyond 7, no octet
        // for the count of unused bits.
        {&ASN1::BMPString::theInfo, bytes({0x1e, 0x03, 0x00, 0x41, 0x00}), nullptr},
        {&ASN1::BIT_STRING::theInfo, bytes({0x03, 0x02, 0x08, 0xff}), nullptr},
        {&ASN1::BIT_STRING::theInfo, bytes({0x03, 0x00}), nullptr},
        // Integers and enumerations of up to 32 bits, a leading zero octet for the sign included;
        // any octet but 0 is TRUE.
        {integer, bytes({0x02, 0x05, 0x00, 0xff, 0xff, 0xff, 0xfe}), "-2"},
        {integer, bytes({0x02, 0x05, 0x01, 0x00, 0x00, 0x00, 0x00}), nullptr},
        {integer, bytes({0x02, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}), nullptr},
        {integer, bytes({0x02, 0x00}), nullptr},
        {&LGCP::ErrorCause::theInfo, bytes({0x0a, 0x01, 0xff}), "-1"},
        {&ASN1::BOOLEAN::theInfo, bytes({0x01, 0x01, 0x05}), "TRUE"},
        // The inner SEQUENCE ends with its content, before the outer field of the same tag.
        {&Pair, bytes({0x30, 0x0a, 0xa0, 0x03, 0x80, 0x01, 0x00, 0x81, 0x03, 'a', 'b', 'c'}),
         "{ inner { flag FALSE }, note \"abc\" }"},
        // Object identifier arcs cut inside, and of 2^32.
        {&ASN1::OBJECT_IDENTIFIER::theInfo, bytes({0x06, 0x03, 0x2b, 0x06, 0x81}), nullptr},
        {&ASN1::OBJECT_IDENTIFIER::theInfo, bytes({0x06, 0x06, 0x2b, 0x90, 0x80, 0x80, 0x80, 0x00}), nullptr},
        // Tag numbers above 65535.
        {open, bytes({0x9f, 0x84, 0x80, 0x00, 0x00}), nullptr},
        {open, bytes({0x9f, 0x80, 0x80, 0x80, 0x80, 0x80}), nullptr},
    };
    for (const Input& input : inputs) {
        SCOPED_TRACE(&input - inputs);
        expectDecodes(input, ber);
    }
    // A failed CHOICE holds no alternative.
    ASN1::CHOICE pick(&OuterPick, 1, new ASN1::OCTET_STRING);
    EXPECT_FALSE(decode(bytes({0x05, 0x00}), pick, ber));
    EXPECT_EQ(pick.currentSelection(), -2);
}

TEST(BerDecoder, UnknownExtensionAdditionsAreSkipped)
{
    const auto outer = read<TestModule::Outer>(
        "{ id 9, pick number : 3, e0 77, e1 FALSE, e2 \"\", e3 NULL, e4 ''H, e5 { flag FALSE } }");
    ASN1::SEQUENCE_OF<TestModule::Outer> list;
    list.push_back(outer);
    list.push_back(outer);

    // The same list read by a version of Outer that knows only the first two additions.
    static const ASN1::SEQUENCE::InfoType older = {Allocator<TestModule::Outer>::info(0x10),
                                                   true,
                                                   TestModule::Outer::fieldInfos,
                                                   TestModule::Outer::fieldIds,
                                                   4,
                                                   2,
                                                   2,
                                                   nullptr,
                                                   nullptr,
                                                   TestModule::Outer::fieldNames};
    const ASN1::SEQUENCE_OF_Base::InfoType olderList = {
        {{&Allocator<ASN1::SEQUENCE_OF_Base>::create, 0x10}, ASN1::Unconstrained, 0, 0xffffffffu}, &older};
    ASN1::SEQUENCE_OF_Base back(&olderList);
    ASSERT_TRUE(decode(encode(list, ber), back, ber));
    ASSERT_EQ(back.size(), 2u);
    const auto& second = static_cast<const ASN1::SEQUENCE&>(back[1]);
    EXPECT_EQ(second.field<ASN1::INTEGER>(TestModule::Outer::e0).getValue(), 77);
    EXPECT_FALSE(second.hasOptionalField(2 + 2));
}

}  // namespace
