#include "asn1/runtime/value_notation_reader.h"

#include "asn1/per/per_test_schema.h"
#include "asn1/runtime/value_notation_writer.h"
#include "asn1/test_module.h"
#include "asn1/value_notation/message_shape.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

template <class Info>
std::unique_ptr<ASN1::AbstractData> read(const Info& info, const std::string& text)
{
    auto value = Shape::make(info);
    return value->setFromValueNotation(text) ? std::move(value) : nullptr;
}

TEST(ValueNotationReader, EveryMessageReadsBackFromItsPrint)
{
    for (const auto& original : Shape::sampleMessages()) {
        const std::string text = original->asValueNotation();
        SCOPED_TRACE(text);
        const auto back = read(Shape::Message, text);
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, *original);
        EXPECT_EQ(back->asValueNotation(), text);
    }
}

TEST(ValueNotationReader, WordsEndAtCommaBraceAndColon)
{
    const auto rtp = read(Shape::RtpParams, R"({payload ptG723,dhost {iaddr "h",port 1},qos-dscp ef})");
    ASSERT_TRUE(rtp);
    EXPECT_EQ(rtp->asValueNotation(),
              "{\n  payload ptG723,\n  dhost {\n    iaddr \"h\",\n    port 1\n  },\n  qos-dscp ef\n}");
    EXPECT_TRUE(read(Shape::Message, "{ pdu response: error:slotNotExists}"));
    EXPECT_TRUE(read(Shape::Message, "{ pdu response : error : 13 }"));  // a value without a name
}

TEST(ValueNotationReader, QuotedBitAndHexStrings)
{
    const auto octets = read(ASN1::OCTET_STRING::theInfo, "'A'H");
    ASSERT_TRUE(octets);
    EXPECT_EQ(static_cast<ASN1::OCTET_STRING&>(*octets).getValue(), std::vector<char>{'\xa0'});
    const auto pair = read(ASN1::OCTET_STRING::theInfo, " '0a\n ff' H");
    ASSERT_TRUE(pair);
    EXPECT_EQ(static_cast<ASN1::OCTET_STRING&>(*pair).getValue(), (std::vector<char>{0x0a, '\xff'}));
    EXPECT_FALSE(read(ASN1::OCTET_STRING::theInfo, "'0g'H"));
    EXPECT_FALSE(read(ASN1::OCTET_STRING::theInfo, "'0a'X"));
    EXPECT_FALSE(read(ASN1::OCTET_STRING::theInfo, "'0a"));

    const auto bits = read(ASN1::BIT_STRING::theInfo, "'101'B");
    ASSERT_TRUE(bits);
    EXPECT_EQ(static_cast<ASN1::BIT_STRING&>(*bits).size(), 3u);
    EXPECT_EQ(static_cast<ASN1::BIT_STRING&>(*bits).getValue().getData(), std::vector<char>{'\xa0'});
    const auto nibble = read(ASN1::BIT_STRING::theInfo, "'A'H");
    ASSERT_TRUE(nibble);
    EXPECT_EQ(nibble->asValueNotation(), "'1010'B");
    EXPECT_FALSE(read(ASN1::BIT_STRING::theInfo, "'12'B"));
}

TEST(ValueNotationReader, EmptyBracesAndTrailingCommas)
{
    EXPECT_TRUE(read(ASN1::SEQUENCE_OF<ASN1::INTEGER>::theInfo, "{}"));
    EXPECT_TRUE(read(ASN1::SEQUENCE_OF<ASN1::INTEGER>::theInfo, "{ }"));
    EXPECT_FALSE(read(ASN1::SEQUENCE_OF<ASN1::INTEGER>::theInfo, "{ 1, }"));
    const auto list = read(ASN1::SEQUENCE_OF<ASN1::INTEGER>::theInfo, "{ 1 ,2}");
    ASSERT_TRUE(list);
    EXPECT_EQ(static_cast<ASN1::SEQUENCE_OF_Base&>(*list).size(), 2u);

    // A SEQUENCE may end early or after a comma only when no mandatory field remains.
    const char* const allOptional = R"({ pdu command : create : rtp : { codecRTP { payload ptG711-Alaw, dhost { iaddr "", port 0 }, shost { iaddr "", port 0 }, }, txPayload ptG723, rxPayload ptG729 } })";
    EXPECT_TRUE(read(Shape::Message, allOptional));
    EXPECT_TRUE(read(Shape::Message, "{ seq 1, pdu command : ping : NULL, }"));
    EXPECT_FALSE(read(Shape::Message, "{ seq 1, }"));
    EXPECT_FALSE(read(Shape::Message, "{ seq 1 }"));
    EXPECT_FALSE(read(Shape::Message, "{}"));
    EXPECT_TRUE(read(Shape::RtpJitter, "{ start 1, max 2 }"));
    EXPECT_FALSE(read(Shape::RtpJitter, "{ start 1 }"));
}

TEST(ValueNotationReader, MalformedTextFails)
{
    for (const char* text : {
             "{ seq 1, pdu command : pong : NULL }",      // unknown alternative
             "{ seq 1, pdu command ping : NULL }",        // no colon
             "{ slot 1, seq 2, pdu command : ping : NULL }",  // fields out of order
             "{ seq 1, pdu command : ping : NULL, extra 1 }",
             "{ seq 1, pdu command : ping : NULLX }",
             "{ seq 1, pdu command : ping : NULL",
             "{ seq 1; pdu command : ping : NULL }",
             "{ seq 2147483648, pdu command : ping : NULL }",
             "{ slot -1, pdu command : ping : NULL }",
             "{ slot 4294967296, pdu command : ping : NULL }",
             "{ seq 1, pdu response : error : noSuchCause }",
             "{ seq 1, pdu signal : number : \"open }",
             "{ seq 1, pdu signal : number : \"bad \\q escape\" }",
             "{ seq 1, pdu signal : number : \"short \\x4\" }",
             "",
         }) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(read(Shape::Message, text));
    }
    EXPECT_TRUE(read(Shape::Message, "{ seq -2147483648, slot 4294967295, pdu command : ping : NULL }"));
}

TEST(ValueNotationReader, KeywordsNumbersAndNames)
{
    EXPECT_TRUE(read(ASN1::Null::theInfo, "NULL"));
    EXPECT_FALSE(read(ASN1::Null::theInfo, "NULLL"));
    EXPECT_FALSE(read(ASN1::BOOLEAN::theInfo, "true"));
    const auto level = read(TestModule::Level_info, "max");
    ASSERT_TRUE(level);
    EXPECT_EQ(static_cast<ASN1::INTEGER&>(*level).getValue(), 100);
    EXPECT_TRUE(read(TestModule::Level_info, "-17"));
    EXPECT_FALSE(read(TestModule::Level_info, "maximum"));

    // An enumerator beyond the root is no name to read.
    EXPECT_FALSE(read(TestModule::Dscp::theInfo, "beyond"));
    const auto dscp = read(TestModule::Dscp::theInfo, "alias");
    ASSERT_TRUE(dscp);
    EXPECT_EQ(static_cast<ASN1::ENUMERATED&>(*dscp).getValue(), 8);

    const auto oid = read(ASN1::OBJECT_IDENTIFIER::theInfo, "{ iso(1) member-body(2) 840 }");
    ASSERT_TRUE(oid);
    EXPECT_EQ(static_cast<ASN1::OBJECT_IDENTIFIER&>(*oid).getValue(), (std::vector<unsigned>{1, 2, 840}));
    EXPECT_FALSE(read(ASN1::OBJECT_IDENTIFIER::theInfo, "{ iso 2 }"));
    EXPECT_FALSE(read(ASN1::OBJECT_IDENTIFIER::theInfo, "{ 1 2x }"));

    EXPECT_TRUE(read(ASN1::GeneralizedTime::theInfo, "\"20240229130509.5Z\""));
    EXPECT_FALSE(read(ASN1::GeneralizedTime::theInfo, "\"yesterday\""));

    const auto bmp = read(ASN1::BMPString::theInfo, R"("A\x09")");
    ASSERT_TRUE(bmp);
    EXPECT_EQ(static_cast<ASN1::BMPString&>(*bmp).getValue(), L"A\t");
    EXPECT_FALSE(read(ASN1::BMPString::theInfo, R"("\xe9")"));
}

TEST(ValueNotationReader, BmpStringBeyondAsciiReadsBackFromItsQuadruples)
{
    // The create command carries the owner "opérateur", which prints as quadruples.
    const ASN1::SEQUENCE create = PerSchema::createMessage(9, 3);
    const std::string text = create.asValueNotation();
    ASSERT_NE(text.find("owner {{ 0, 0, 0, 111}, { 0, 0, 0, 112}, { 0, 0, 0, 233}"), std::string::npos) << text;
    const auto back = read(PerSchema::Message, text);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, create);
    EXPECT_EQ(back->asValueNotation(), text);

    const auto wide = read(ASN1::BMPString::theInfo, "{{ 0, 0, 4, 22}, { 0, 0, 0, 65}}");
    ASSERT_TRUE(wide);
    EXPECT_EQ(static_cast<ASN1::BMPString&>(*wide).getValue(), L"\x0416" L"A");
    const auto compact = read(ASN1::BMPString::theInfo, "{{0,0,255,255},{0,0,0,0}}");
    ASSERT_TRUE(compact);
    EXPECT_EQ(static_cast<ASN1::BMPString&>(*compact).getValue(), std::wstring(L"\xffff") + L'\0');
    const auto empty = read(ASN1::BMPString::theInfo, "{ }");
    ASSERT_TRUE(empty);
    EXPECT_EQ(static_cast<ASN1::BMPString&>(*empty).getValue(), L"");

    for (const char* text : {"{{ 1, 0, 0, 65}}", "{{ 0, 1, 0, 65}}", "{{ 0, 0, 256, 0}}", "{{ 0, 0, 0, 256}}",
                             "{{ 0, 0, -1, 65}}", "{{ 0, 0, 65}}", "{{ 0, 0, 0, 65, 1}}", "{{ 0, 0, 0, 65}",
                             "{{ 0, 0, 0, 65},}", "{{ 0, 0, 0, 65} { 0, 0, 0, 66}}", "{ 0, 0, 0, 65 }", "{"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(read(ASN1::BMPString::theInfo, text));
    }
}

TEST(ValueNotationReader, OpenTypes)
{
    EXPECT_FALSE(read(ASN1::OpenData::theInfo, "4"));
    const auto carrier = read(TestModule::InnerCarrier_info, "{ flag TRUE }");
    ASSERT_TRUE(carrier);
    EXPECT_EQ(carrier->asValueNotation(), "{\n  flag TRUE\n}");
}

TEST(ValueNotationReader, StreamExtraction)
{
    std::istringstream lines("{ pdu command : ping : NULL }\n{ seq 4, pdu command : query : NULL }\n{ seq x }");
    const auto first = Shape::make(Shape::Message);
    const auto second = Shape::make(Shape::Message);
    const auto third = Shape::make(Shape::Message);
    EXPECT_TRUE(lines >> *first >> *second);
    EXPECT_EQ(second->asValueNotation(), "{\n  seq 4,\n  pdu command : query : NULL\n}");
    EXPECT_FALSE(lines >> *third);
    EXPECT_TRUE(lines.fail());

    std::istringstream failed("NULL");
    failed.setstate(std::ios_base::eofbit);
    ASN1::Null null;
    failed >> null;
    EXPECT_EQ(failed.rdstate(), std::ios_base::eofbit);
}

}  // namespace
