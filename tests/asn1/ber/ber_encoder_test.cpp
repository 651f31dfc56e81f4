#include "asn1/runtime/ber_length.h"
#include "asn1/runtime/ber_tags.h"
#include "asn1/ber/ber_test_support.h"
#include "asn1/gen/message_samples.h"
#include "asn1/test_module.h"

namespace {

using bertest::bytes;
using bertest::decode;
using bertest::encode;

TEST(BerEncoder, MessagesUseContextTagsAndWrapChoices)
{
    const std::vector<LGCP::Message> three = samples::threeMessages();
    EXPECT_EQ(encode(three[0]), bytes({0x30, 0x0c, 0x80, 0x01, 0x07, 0x81, 0x01, 0x0c, 0xa2, 0x04, 0xa1, 0x02, 0x80, 0x00}));
    EXPECT_EQ(encode(three[1]), bytes({0x30, 0x0a, 0x80, 0x01, 0x07, 0xa2, 0x05, 0xa1, 0x03, 0x81, 0x01, 0x04}));
    EXPECT_EQ(encode(three[2]),
              bytes({0x30, 0x0f, 0x80, 0x01, 0x03, 0xa2, 0x0a, 0xa0, 0x08, 0xaa, 0x06, 0x80, 0x01, 0x01, 0x81, 0x01, 0x01}));
}

TEST(BerEncoder, IntegerContentIsTheShortestTwosComplement)
{
    const std::pair<int, std::vector<char>> cases[] = {
        {0, bytes({0x02, 0x01, 0x00})}, {127, bytes({0x02, 0x01, 0x7f})}, {128, bytes({0x02, 0x02, 0x00, 0x80})},
        {-128, bytes({0x02, 0x01, 0x80})}, {-129, bytes({0x02, 0x02, 0xff, 0x7f})},
        {0x800000, bytes({0x02, 0x04, 0x00, 0x80, 0x00, 0x00})}, {-2147483647 - 1, bytes({0x02, 0x04, 0x80, 0x00, 0x00, 0x00})},
    };
    for (const auto& [value, encoding] : cases) {
        SCOPED_TRACE(value);
        EXPECT_EQ(ASN1::getIntegerDataLength(value), encoding.size() - 2);
        EXPECT_EQ(encode(ASN1::INTEGER(value)), encoding);
        ASN1::INTEGER back;
        EXPECT_TRUE(decode(encoding, back));
        EXPECT_EQ(back.getValue(), value);
    }
}

TEST(BerEncoder, LengthFormsAgreeWithTheLengthCount)
{
    const std::pair<unsigned, std::vector<char>> cases[] = {
        {127, bytes({0x04, 0x7f})}, {128, bytes({0x04, 0x81, 0x80})}, {256, bytes({0x04, 0x82, 0x01, 0x00})},
        {70000, bytes({0x04, 0x83, 0x01, 0x11, 0x70})}};
    for (const auto& [size, header] : cases) {
        SCOPED_TRACE(size);
        const ASN1::OCTET_STRING value(size, 'x');
        const std::vector<char> encoding = encode(value);
        EXPECT_EQ(std::vector<char>(encoding.begin(), encoding.begin() + header.size()), header);
        EXPECT_EQ(encoding.size(), header.size() + size);
        EXPECT_EQ(ASN1::getObjectLength(value, ASN1::ber::OwnTag), encoding.size());
        ASN1::OCTET_STRING back;
        EXPECT_TRUE(decode(encoding, back));
        EXPECT_EQ(back, value);
    }
}

// Fields tagged [31] and [200] through a table of their own.
const unsigned highTags[] = {ASN1::ber::contextTag(31), ASN1::ber::contextTag(200)};
const ASN1::AbstractData::InfoType* const twoIntegers[] = {&ASN1::INTEGER::theInfo, &ASN1::INTEGER::theInfo};
const int mandatory[] = {-1, -1};
const char* const highNames[] = {"low", "high"};
const ASN1::SEQUENCE::InfoType HighTagged = {
    {&ASN1::detail::Allocator<ASN1::SEQUENCE>::create, 0x10}, false, twoIntegers, mandatory, 2, 0, 0, nullptr, highTags, highNames};

TEST(BerEncoder, LongTagNumbers)
{
    ASN1::SEQUENCE value(&HighTagged);
    value.field<ASN1::INTEGER>(0).setValue(5);
    value.field<ASN1::INTEGER>(1).setValue(6);
    const std::vector<char> encoding = encode(value);
    EXPECT_EQ(encoding, bytes({0x30, 0x09, 0x9f, 0x1f, 0x01, 0x05, 0x9f, 0x81, 0x48, 0x01, 0x06}));
    EXPECT_EQ(ASN1::getObjectLength(value, ASN1::ber::OwnTag), encoding.size());
    ASN1::SEQUENCE back(&HighTagged);
    EXPECT_TRUE(decode(encoding, back));
    EXPECT_EQ(back, value);
}

TEST(BerEncoder, PrimitiveContents)
{
    ASN1::BIT_STRING bits;
    EXPECT_EQ(encode(bits), bytes({0x03, 0x01, 0x00}));
    bits.getValue().assign({'\xa0'}, 3);
    EXPECT_EQ(encode(bits), bytes({0x03, 0x02, 0x05, 0xa0}));
    bits.getValue().assign({'\x12', '\x34'}, 16);
    EXPECT_EQ(encode(bits), bytes({0x03, 0x03, 0x00, 0x12, 0x34}));

    EXPECT_EQ(encode(ASN1::BOOLEAN(true)), bytes({0x01, 0x01, 0xff}));
    EXPECT_EQ(encode(ASN1::Null()), bytes({0x05, 0x00}));
    ASN1::OBJECT_IDENTIFIER oid;
    oid.getValue() = {1, 2, 840};
    EXPECT_EQ(encode(oid), bytes({0x06, 0x03, 0x2a, 0x86, 0x48}));
    EXPECT_EQ(encode(ASN1::BMPString(L"A\x0416")), bytes({0x1e, 0x04, 0x00, 0x41, 0x04, 0x16}));
    EXPECT_EQ(encode(ASN1::IA5String(std::string("ab"))), bytes({0x16, 0x02, 'a', 'b'}));
    EXPECT_EQ(encode(ASN1::GeneralizedTime(2024, 2, 29, 13, 5, 9, 0, 0, true)),
              bytes({0x18, 0x0f, '2', '0', '2', '4', '0', '2', '2', '9', '1', '3', '0', '5', '0', '9', 'Z'}));
    EXPECT_EQ(encode(LGCP::ErrorCause(LGCP::ErrorCause::unexpectedMsgType)), bytes({0x0a, 0x01, 0x04}));
}

TEST(BerEncoder, UnselectedChoiceAndEmptyOpenTypeFail)
{
    std::vector<char> out;
    ASN1::BEREncoder writer(out);
    EXPECT_FALSE(LGCP::Message().accept(writer));
    ASN1::BEREncoder openWriter(out);
    EXPECT_FALSE(ASN1::OpenData().accept(openWriter));
}

TEST(BerEncoder, EveryValueReadsBackWithTheCountedLength)
{
    std::vector<std::unique_ptr<ASN1::AbstractData>> values;
    for (const LGCP::Message& message : samples::filledMessages())
        values.push_back(std::make_unique<LGCP::Message>(message));
    values.push_back(std::make_unique<ASN1::IntegerWithNamedNumber>(100, &TestModule::Level_info));
    values.push_back(std::make_unique<ASN1::GeneralizedTime>(1999, 12, 31, 23, 59, 59, 125, -90, false));
    values.push_back(std::make_unique<ASN1::IA5String>(std::string(300, 'z')));
    for (const auto& value : values) {
        SCOPED_TRACE(value->asValueNotation());
        const std::vector<char> encoding = encode(*value);
        EXPECT_EQ(ASN1::getObjectLength(*value, ASN1::ber::OwnTag), encoding.size());
        const std::unique_ptr<ASN1::AbstractData> back(value->info()->create(value->info()));
        EXPECT_TRUE(decode(encoding, *back));
        EXPECT_EQ(*back, *value);
    }
}

}  // namespace
