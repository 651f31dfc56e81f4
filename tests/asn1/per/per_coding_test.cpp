// Known encodings checked both ways, round trips of every kind of value in both variants, and
// values the encoding cannot carry.

#include "per_test_schema.h"

#include "asn1/coding.h"
#include "asn1/test_module.h"

#include <gtest/gtest.h>

namespace {

using namespace coding;

// Both variants encode value, decode it to an equal value and encode that to the same octets.
void expectRoundTrip(const ASN1::AbstractData& value)
{
    for (Rule rule : {per, unalignedPer}) {
        SCOPED_TRACE(rule);
        const std::vector<char> out = encode(value, rule);
        const auto back = fresh(value.info());
        ASSERT_TRUE(decode(out, *back, rule));
        EXPECT_EQ(*back, value);
        EXPECT_EQ(encode(*back, rule), out);
    }
}

TEST(PerVectors, KnownEncodingsBothWays)
{
    const Info message = &PerSchema::Message;
    const struct {
        Info type;
        const char* value;
        std::vector<char> octets;
        Rule rule = per;
    } vectors[] = {
        {message, "{ seq 7, pdu command : ping : NULL }", bytes({0x80, 0x01, 0x07, 0x18})},
        // The slot in two aligned octets (range 1024); the cause in 4 bits after the extension bit.
        {message, "{ seq 7, slot 5, pdu response : error : slotNotExists }", bytes({0xc0, 0x01, 0x07, 0x00, 0x05, 0x63})},
        // No seq: bitmap 00, PDU index 0, extension bit 0, command index 12.
        {message, "{ pdu command : ping : NULL }", bytes({0x06, 0x00})},
        // The extension alternative reboot: a BOOLEAN as an open type of one octet.
        {message, "{ pdu command : reboot : TRUE }", bytes({0x08, 0x00, 0x01, 0x80})},
        // The Ioctl extension alternative oid as an open type of 4 octets.
        {message, "{ seq 1, pdu command : ioctl : oid : { 1 3 6 1 } }",
         bytes({0x80, 0x01, 0x01, 0x13, 0x00, 0x04, 0x03, 0x2b, 0x06, 0x01})},
        // -128..127: one aligned octet of value - lower.
        {&PerSchema::Gain::theInfo, "-5", bytes({0x7b})},
        // 0..4294967295: the octet count in 2 bits, then the octets aligned.
        {&PerSchema::Clock::theInfo, "256", bytes({0x40, 0x01, 0x00})},
        {&PerSchema::Clock::theInfo, "4294967295", bytes({0xc0, 0xff, 0xff, 0xff, 0xff})},
        // Unaligned: 0..1023 in ten bits, 0..65535 in sixteen, characters in the bits of their set.
        {&PerSchema::Slot::theInfo, "1023", bytes({0xff, 0xc0}), unalignedPer},
        {&PerSchema::Port::theInfo, "4660", bytes({0x12, 0x34}), unalignedPer},
        {&ASN1::PrintableString::theInfo, "\"AB\"", bytes({0x02, 0x83, 0x08}), unalignedPer},
        // A sparse ENUMERATED is coded by its value: ef (46) in 6 bits after the extension bit.
        {&TestModule::Dscp::theInfo, "ef", bytes({0x5c})},
        // A type-constrained open type carries its value inside a length.
        {&TestModule::InnerCarrier_info, "{ flag TRUE, label \"in\" }", bytes({0x04, 0xc0, 0x02, 0x69, 0x6e})},
    };
    for (const auto& vector : vectors) {
        SCOPED_TRACE(vector.value);
        expectBothWays(*read(vector.type, vector.value), vector.octets, vector.rule);
    }
    // Unconstrained: the shortest two's complement after its length, in both variants.
    for (const auto& [value, octets] : {std::pair{-1, bytes({0x01, 0xff})}, {-129, bytes({0x02, 0xff, 0x7f})},
             {127, bytes({0x01, 0x7f})}, {128, bytes({0x02, 0x00, 0x80})}, {0, bytes({0x01, 0x00})},
             {-128, bytes({0x01, 0x80})}, {2147483647, bytes({0x04, 0x7f, 0xff, 0xff, 0xff})},
             {-2147483647 - 1, bytes({0x04, 0x80, 0x00, 0x00, 0x00})}}) {
        SCOPED_TRACE(value);
        expectBothWays(ASN1::INTEGER(value), octets);
        expectBothWays(ASN1::INTEGER(value), octets, unalignedPer);
    }
    // Above the root maximum: bit 1, the normally small number 61, then 60 in [0, 60] (6 bits).
    TestModule::Dscp beyond;
    beyond.setValue(TestModule::Dscp::beyond);
    expectBothWays(beyond, bytes({0xbd, 0xf0}));
}

TEST(PerVectors, LengthsOfStringsAndLists)
{
    // One octet below 128, two (10xxxxxx) up to 16383; the fragmented form is never written.
    for (const auto& [size, header] : {std::pair{0, bytes({0x00})}, {127, bytes({0x7f})}, {128, bytes({0x80, 0x80})},
             {16383, bytes({0xbf, 0xff})}}) {
        std::vector<char> expected = header;
        expected.insert(expected.end(), size, 'x');
        expectBothWays(ASN1::OCTET_STRING(size, 'x'), expected);
    }
    EXPECT_EQ(encode(ASN1::OCTET_STRING(16384, 'x')), refused);

    // 128 elements travel; 129 are neither written nor read.
    ASN1::SEQUENCE_OF<ASN1::BOOLEAN> flags;
    flags.resize(128);
    std::vector<char> list = bytes({0x80, 0x80});
    list.insert(list.end(), 16, 0);
    expectBothWays(flags, list);
    flags.resize(129);
    EXPECT_EQ(encode(flags), refused);
    list[1] = static_cast<char>(0x81);
    list.push_back(0);
    EXPECT_FALSE(decode(list, flags));
}

TEST(PerRoundTrip, EveryKindOfComponentExtensionAdditionAndString)
{
    const ASN1::SEQUENCE message = PerSchema::createMessage(4711, 1023);
    expectRoundTrip(message);
    EXPECT_NE(encode(message, per), encode(message, unalignedPer));

    auto outer = read<TestModule::Outer>(
        "{ id 1000, pick octets : '01020304'H, items { { flag FALSE }, { flag TRUE }, { flag FALSE, label \"\" } },"
        " e0 -70000, e3 NULL, e5 { flag TRUE } }");
    expectRoundTrip(outer);
    // An addition in the middle removed again: the remaining ones still travel.
    outer.removeOptionalField(5);
    expectRoundTrip(outer);

    expectRoundTrip(ASN1::BMPString(L"\x20ac\xffff"));
    expectRoundTrip(ASN1::GeneralizedTime("19991231235959+0130"));
}

TEST(PerRoundTrip, PlainOpenTypeKeepsItsOctetsUntilRevisited)
{
    // A value never revisited goes out again as the octets it came in; revisiting decodes them
    // into the held value.
    const std::vector<char> encoded = bytes({0x04, 0xc0, 0x02, 0x69, 0x6e});
    ASN1::OpenData open;
    ASSERT_TRUE(decode(encoded, open));
    ASSERT_TRUE(open.has_buf());
    EXPECT_EQ(encode(open), encoded);
    ASN1::PERDecoder revisitor(nullptr, nullptr);
    EXPECT_FALSE(revisitor.revisit(open));
    open.setData(new TestModule::Inner);
    ASSERT_TRUE(revisitor.revisit(open));
    EXPECT_EQ(*open.getData(), read<TestModule::Inner>("{ flag TRUE, label \"in\" }"));
    // Octets decoded into it later replace the value decoded from the earlier ones.
    const std::vector<char> later = bytes({0x01, 0x40});
    ASSERT_TRUE(decode(later, open));
    EXPECT_FALSE(open.has_data());
    EXPECT_EQ(encode(open), later);
}

TEST(PerRoundTrip, ValuesTheEncodingCannotCarryAreRefused)
{
    EXPECT_EQ(encode(PerSchema::newMessage()), refused);  // no PDU selected
    EXPECT_EQ(encode(ASN1::INTEGER(1024, &PerSchema::Slot::theInfo)), refused);
    EXPECT_EQ(encode(ASN1::INTEGER(128, &PerSchema::Gain::theInfo)), refused);
    EXPECT_EQ(encode(ASN1::INTEGER(-129, &PerSchema::Gain::theInfo)), refused);
    for (const auto& [type, number] : {std::pair{&PerSchema::Kind, 5}, {&PerSchema::ErrorCause, -1}}) {
        ASN1::ENUMERATED value(type);
        value.setValue(number);
        EXPECT_EQ(encode(value), refused) << number;
    }
    EXPECT_EQ(encode(ASN1::PrintableString("a@b")), refused);
    EXPECT_EQ(encode(ASN1::IA5String("\xe9")), refused);
    EXPECT_EQ(encode(ASN1::BMPString(std::wstring(1, wchar_t(0x10000)))), refused);
    ASN1::OBJECT_IDENTIFIER oid;
    oid.getValue().assign(130, 0xffffffffu);
    EXPECT_EQ(encode(oid), refused);
    EXPECT_EQ(encode(ASN1::OCTET_STRING(3, 'x', &PerSchema::Host)), refused);
}

}  // namespace
