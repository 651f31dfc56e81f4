// Crafted inputs from an untrusted peer: each must fail the decoding (or be read within its
// bounds), never read past the input, wrap a count or act on invented zeros; and the encoder must
// never write what our decoder or our peers refuse.

#include "per_test_schema.h"
#include "per_test_support.h"

#include <gtest/gtest.h>

namespace {

using PerTest::bytes;
using PerTest::encoded;

bool decodesAsMessage(const std::vector<char>& input)
{
    ASN1::SEQUENCE message = PerSchema::newMessage();
    return PerTest::decode(input, message);
}

TEST(PerHostileInput, BitsPastTheEndFail)
{
    EXPECT_FALSE(decodesAsMessage({}));                          // the optional bitmap
    EXPECT_FALSE(decodesAsMessage(bytes({0x80, 0x01, 0x07})));   // the PDU index
    ASN1::BOOLEAN flag;
    EXPECT_FALSE(PerTest::decode({}, flag));
    // A BIT STRING of 10 bits with 8 left.
    ASN1::BIT_STRING bits;
    EXPECT_FALSE(PerTest::decode(bytes({0x0a, 0xff}), bits));
    // An extension bitmap announced with 3 bits and cut after the count.
    ASN1::SEQUENCE endpoint(&PerSchema::Endpoint);
    EXPECT_FALSE(PerTest::decode(bytes({0x80, 0x7f, 0x00, 0x00, 0x01, 0x13, 0x8c, 0x04}), endpoint));
    // A 33-bit read is refused outright.
    const std::vector<char> five = bytes({1, 2, 3, 4, 5});
    ASN1::PERDecoder decoder(five.data(), five.data() + five.size());
    unsigned value = 0;
    EXPECT_FALSE(decoder.decodeMultiBit(33, value));
    ASSERT_TRUE(decoder.decodeMultiBit(32, value));
    EXPECT_EQ(value, 0x01020304u);
}

TEST(PerHostileInput, TruncatedConstrainedIntegerFails)
{
    // connect 5: command index 2, then the slot in two aligned octets.
    ASN1::SEQUENCE message = PerSchema::newMessage();
    ASSERT_TRUE(PerTest::decode(bytes({0x01, 0x00, 0x00, 0x05}), message));
    const auto& command = *boost::polymorphic_downcast<const ASN1::CHOICE*>(PerSchema::pduOf(message).getSelection());
    ASSERT_EQ(command.currentSelection(), PerSchema::connect);
    EXPECT_EQ(boost::polymorphic_downcast<const ASN1::INTEGER*>(command.getSelection())->getValue(), 5);

    EXPECT_FALSE(decodesAsMessage(bytes({0x01, 0x00, 0x00})));
    EXPECT_FALSE(decodesAsMessage(bytes({0x01, 0x00})));
    // The message's own slot field, cut after its first octet.
    EXPECT_FALSE(decodesAsMessage(bytes({0x40, 0x00})));
}

TEST(PerHostileInput, EnumeratedOutsideItsValuesFails)
{
    // Response error with the 4-bit cause 12 (the highest) and 13.
    EXPECT_TRUE(decodesAsMessage(bytes({0xc0, 0x01, 0x07, 0x00, 0x05, 0x6c})));
    EXPECT_FALSE(decodesAsMessage(bytes({0xc0, 0x01, 0x07, 0x00, 0x05, 0x6d})));
    EXPECT_FALSE(decodesAsMessage(bytes({0xc0, 0x01, 0x07, 0x00, 0x05, 0x6f})));

    // A non-extendable type of 5 values in 3 bits: 5 to 7 are refused.
    ASN1::ENUMERATED kind(&PerSchema::Kind);
    EXPECT_TRUE(PerTest::decode(bytes({0x80}), kind));
    EXPECT_EQ(kind.getValue(), 4);
    EXPECT_FALSE(PerTest::decode(bytes({0xa0}), kind));

    // Extension bit 1 with the normally small number 0 announces no value at all.
    ASN1::ENUMERATED cause(&PerSchema::ErrorCause);
    EXPECT_FALSE(PerTest::decode(bytes({0x80, 0x00}), cause));
    // Count 2, then the value in 1 bit.
    EXPECT_TRUE(PerTest::decode(bytes({0x82, 0x80}), cause));
    EXPECT_EQ(cause.getValue(), 1);
}

TEST(PerHostileInput, OpenTypesStayWithinTheirLength)
{
    // reboot (an extension alternative) whose open type claims 5 octets with 1 left.
    EXPECT_TRUE(decodesAsMessage(bytes({0x08, 0x00, 0x01, 0x80})));
    EXPECT_FALSE(decodesAsMessage(bytes({0x08, 0x00, 0x05, 0x80})));

    // An object identifier inside a 2-octet open type claims 3 contents octets; the input goes on
    // beyond the open type, but the value may not read there.
    EXPECT_TRUE(decodesAsMessage(bytes({0x80, 0x01, 0x01, 0x13, 0x00, 0x04, 0x03, 0x2b, 0x06, 0x01})));
    EXPECT_FALSE(decodesAsMessage(bytes({0x80, 0x01, 0x01, 0x13, 0x00, 0x02, 0x03, 0x2b, 0x06, 0x01})));

    // A known addition that does not use its whole open type: the decoder goes on after it.
    ASN1::SEQUENCE endpoint(&PerSchema::Endpoint);
    ASSERT_TRUE(PerTest::decode(
        bytes({0x80, 0x7f, 0x00, 0x00, 0x01, 0x13, 0x8c, 0x03, 0x80, 0x03, 0xb8, 0xff, 0xff, 0x02, 0x01, 0x41}), endpoint));
    EXPECT_EQ(endpoint.field<ASN1::INTEGER>(PerSchema::tos).getValue(), 46);
    EXPECT_EQ(endpoint.field<ASN1::AbstractString>(PerSchema::label).getValue(), "A");

    // An unknown third addition: skipped when its octets end exactly at the end of the input,
    // refused when its length runs past it.
    const std::vector<char> unknown = bytes({0x80, 0x7f, 0x00, 0x00, 0x01, 0x13, 0x8c, 0x05, 0x40, 0x01, 0xb8, 0x02, 0xaa, 0xbb});
    ASN1::SEQUENCE withUnknown(&PerSchema::Endpoint);
    EXPECT_TRUE(PerTest::decode(unknown, withUnknown));
    std::vector<char> overlong = unknown;
    overlong[11] = 0x03;
    ASN1::SEQUENCE cut(&PerSchema::Endpoint);
    EXPECT_FALSE(PerTest::decode(overlong, cut));
}

TEST(PerHostileInput, CountsAreCheckedBeforeTheyAreAdded)
{
    // An extension bitmap of 0xFFFFFFFF + 1 bits (which would wrap to none).
    ASN1::SEQUENCE endpoint(&PerSchema::Endpoint);
    EXPECT_FALSE(PerTest::decode(bytes({0x80, 0x7f, 0x00, 0x00, 0x01, 0x13, 0x8c, 0x80, 0x04, 0xff, 0xff, 0xff, 0xff, 0x80}),
                                   endpoint));
    // 128 bits is the limit: a count of 128 (129 bits) is refused.
    EXPECT_FALSE(PerTest::decode(bytes({0x80, 0x7f, 0x00, 0x00, 0x01, 0x13, 0x8c, 0x80, 0x01, 0x80}), endpoint));

    // A CHOICE addition index of 0xFFFFFFFF (root count + index would wrap).
    EXPECT_FALSE(decodesAsMessage(bytes({0x0c, 0x04, 0xff, 0xff, 0xff, 0xff, 0x01, 0x80})));

    // A normally small number of five octets.
    const std::vector<char> wide = bytes({0x80, 0x05, 0x01, 0x02, 0x03, 0x04, 0x05});
    ASN1::PERDecoder decoder(wide.data(), wide.data() + wide.size());
    unsigned value = 0;
    EXPECT_FALSE(decoder.decodeSmallUnsigned(value));

    // An unconstrained INTEGER of five octets.
    ASN1::INTEGER number;
    EXPECT_FALSE(PerTest::decode(bytes({0x05, 0x01, 0x02, 0x03, 0x04, 0x05}), number));
}

TEST(PerHostileInput, LengthsAreCheckedAgainstLimitsAndBounds)
{
    // A size constraint that admits 16385 octets still meets the decoder's limit.
    const ASN1::ConstrainedObject::InfoType big = {
        {&ASN1::detail::Allocator<ASN1::OCTET_STRING>::create, 4}, ASN1::FixedConstraint, 0, 20000};
    ASN1::OCTET_STRING octets(&big);
    std::vector<char> input = bytes({0x40, 0x01});
    input.insert(input.end(), 16385, 'x');
    EXPECT_FALSE(PerTest::decode(input, octets));

    // A 7-bit length field of a SIZE (0..64) string carrying 100.
    ASN1::IA5String name(&PerSchema::Name);
    EXPECT_FALSE(PerTest::decode(bytes({0xc8, 0x00}), name, false));

    // A character index beyond the set of NumericString (11 characters, 4 bits).
    ASN1::NumericString digits;
    EXPECT_TRUE(PerTest::decode(bytes({0x01, 0xa0}), digits));
    EXPECT_EQ(digits.getValue(), "9");
    EXPECT_FALSE(PerTest::decode(bytes({0x01, 0xb0}), digits));
    EXPECT_TRUE(digits.getValue().empty());

    // A raw IA5String octet outside the set.
    ASN1::IA5String text;
    EXPECT_FALSE(PerTest::decode(bytes({0x01, 0x80}), text));

    // A time whose text is empty or does not parse.
    ASN1::GeneralizedTime time;
    EXPECT_FALSE(PerTest::decode(bytes({0x00}), time));
    EXPECT_FALSE(PerTest::decode(bytes({0x03, 'a', 'b', 'c'}), time));
}

TEST(PerHostileInput, EncoderWritesOnlyWhatPeersAccept)
{
    // Additions unknown to the type are dropped when a decoded value is encoded again.
    ASN1::SEQUENCE endpoint(&PerSchema::Endpoint);
    ASSERT_TRUE(PerTest::decode(
        bytes({0x80, 0x7f, 0x00, 0x00, 0x01, 0x13, 0x8c, 0x05, 0x40, 0x01, 0xb8, 0x02, 0xaa, 0xbb}), endpoint));
    EXPECT_EQ(encoded(endpoint), bytes({0x80, 0x7f, 0x00, 0x00, 0x01, 0x13, 0x8c, 0x03, 0x00, 0x01, 0xb8}));

    // An extension map whose bits are all clear writes the extension bit 0 and nothing more.
    ASN1::SEQUENCE plain(&PerSchema::Endpoint);
    PerSchema::fillEndpoint(plain, "\x7f\x00\x00\x01", 5004, nullptr);
    const std::vector<char> without = encoded(plain);
    plain.includeOptionalField(2, PerSchema::label);
    plain.removeOptionalField(2);
    EXPECT_EQ(encoded(plain), without);
    EXPECT_EQ(without, bytes({0x00, 0x7f, 0x00, 0x00, 0x01, 0x13, 0x8c}));

    // No length of 16384 or more, whatever the constraint admits.
    EXPECT_FALSE(PerTest::encodes(ASN1::OCTET_STRING(16384, 'x')));
    const ASN1::ConstrainedObject::InfoType big = {
        {&ASN1::detail::Allocator<ASN1::OCTET_STRING>::create, 4}, ASN1::FixedConstraint, 0, 20000};
    EXPECT_FALSE(PerTest::encodes(ASN1::OCTET_STRING(16384, 'x', &big)));
    EXPECT_TRUE(PerTest::encodes(ASN1::OCTET_STRING(16383, 'x', &big)));
}

TEST(PerHostileInput, TwoOctetWholeNumbersAreNotRangeChecked)
{
    // slot 1024 in a 0..1023 field: decoded as it is, for the consumer to refuse; our encoder
    // never writes it.
    ASN1::SEQUENCE message = PerSchema::newMessage();
    ASSERT_TRUE(PerTest::decode(bytes({0xc0, 0x01, 0x07, 0x04, 0x00, 0x40}), message));
    EXPECT_EQ(message.field<ASN1::INTEGER>(PerSchema::slot).getValue(), 1024);
    EXPECT_FALSE(PerTest::encodes(message));
}

}  // namespace
