#include "asn1/runtime/value_notation_writer.h"

#include "asn1/value_notation/message_shape.h"
#include "asn1/test_module.h"

#include <gtest/gtest.h>

#include <iomanip>
#include <sstream>

namespace {

using Shape::choice;
using Shape::message;

std::string print(const ASN1::AbstractData& value)
{
    std::ostringstream os;
    os << value;
    EXPECT_TRUE(os.good());
    return os.str();
}

TEST(ValueNotationWriter, PrintsControllerMessagesLineByLine)
{
    EXPECT_EQ(print(*message(7, 12, Shape::response, choice(Shape::Response, 0, new ASN1::Null))),
              "{\n  seq 7,\n  slot 12,\n  pdu response : success : NULL\n}");
    EXPECT_EQ(print(*message(7, std::nullopt, Shape::response, choice(Shape::Response, 1, Shape::enumerated(Shape::ErrorCause, 4)))),
              "{\n  seq 7,\n  pdu response : error : unexpectedMsgType\n}");
    EXPECT_EQ(print(*message(3, std::nullopt, Shape::command, choice(Shape::Command, Shape::trunkCfg, Shape::trunkCfgValue(1, 1)))),
              "{\n  seq 3,\n  pdu command : trunkCfg : {\n    trunk 1,\n    mode master\n  }\n}");
}

TEST(ValueNotationWriter, IndentsNestedBlocksAndLists)
{
    EXPECT_EQ(print(*Shape::make(TestModule::Inner::theInfo)), "{\n  flag FALSE\n}");
    EXPECT_EQ(print(*Shape::make(Shape::RtpJitter)), "{\n  start 0,\n  max 0\n}");

    ASN1::SEQUENCE_OF<ASN1::INTEGER> numbers;
    EXPECT_EQ(print(numbers), "{\n}");
    numbers.push_back(ASN1::INTEGER(1));
    numbers.push_back(ASN1::INTEGER(2));
    EXPECT_EQ(print(numbers), "{\n  1,\n  2\n}");

    TestModule::Outer outer;
    outer.get_id() = 5;
    outer.get_pick().setSelection(TestModule::Pick::nothing, new ASN1::Null);
    outer.includeOptionalField(1, TestModule::Outer::items);
    TestModule::Inner labelled;
    labelled.includeOptionalField(0, 1);
    labelled.set_label("x");
    outer.get_items().push_back(labelled);
    outer.get_items().push_back(TestModule::Inner());
    outer.includeOptionalField(2 + 2, TestModule::Outer::e2);  // an extension addition
    outer.field<ASN1::IA5String>(TestModule::Outer::e2).setValue("ext");
    EXPECT_EQ(print(outer),
              "{\n"
              "  id 5,\n"
              "  pick nothing : NULL,\n"
              "  items {\n"
              "    {\n"
              "      flag FALSE,\n"
              "      label \"x\"\n"
              "    },\n"
              "    {\n"
              "      flag FALSE\n"
              "    }\n"
              "  },\n"
              "  e2 \"ext\"\n"
              "}");
}

TEST(ValueNotationWriter, PrimitiveForms)
{
    EXPECT_EQ(print(ASN1::OCTET_STRING(std::vector<char>{0x0a, '\xff'})), "'0a ff'H");
    EXPECT_EQ(print(ASN1::OCTET_STRING()), "''H");

    ASN1::BIT_STRING bits;
    bits.getValue().assign({'\xa0'}, 3);
    EXPECT_EQ(print(bits), "'101'B");

    ASN1::OBJECT_IDENTIFIER oid;
    EXPECT_EQ(print(oid), "{ }");
    oid.getValue() = {1, 2, 840};
    EXPECT_EQ(print(oid), "{ 1 2 840 }");

    EXPECT_EQ(print(ASN1::BMPString(L"\x0416\x0041")), "{{ 0, 0, 4, 22}, { 0, 0, 0, 65}}");
    EXPECT_EQ(print(ASN1::BMPString(L"plain")), "\"plain\"");
    EXPECT_EQ(print(ASN1::GeneralizedTime(2024, 2, 29, 13, 5, 9, 500, 0, true)), "\"20240229130509.500Z\"");
    EXPECT_EQ(print(ASN1::BOOLEAN(true)), "TRUE");
    EXPECT_EQ(print(ASN1::Null()), "NULL");
}

TEST(ValueNotationWriter, IntegersSignedOrUnsignedByConstraint)
{
    EXPECT_EQ(print(ASN1::INTEGER(-1, &ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 4294967295u>::theInfo)), "4294967295");
    EXPECT_EQ(print(ASN1::INTEGER(-1)), "-1");
    EXPECT_EQ(print(ASN1::INTEGER(-1, &ASN1::Constrained_INTEGER<ASN1::FixedConstraint, -128, 127u>::theInfo)), "-1");

    ASN1::IntegerWithNamedNumber level(&TestModule::Level_info);
    level.setValue(-5);
    EXPECT_EQ(print(level), "low");
    level.setValue(8);
    EXPECT_EQ(print(level), "8");
}

TEST(ValueNotationWriter, EnumeratorsByNameElseNumber)
{
    ASN1::ENUMERATED cause(&Shape::ErrorCause);
    cause.setValue(4);
    EXPECT_EQ(print(cause), "unexpectedMsgType");
    cause.setValue(13);
    EXPECT_EQ(print(cause), "13");
    TestModule::Dscp dscp;
    dscp.setValue(8);
    EXPECT_EQ(print(dscp), "cs1");
    dscp.setValue(23);
    EXPECT_EQ(print(dscp), "count");
    dscp.setValue(2);
    EXPECT_EQ(print(dscp), "2");
}

TEST(ValueNotationWriter, EscapesControlBytesQuotesAndBackslashes)
{
    EXPECT_EQ(print(ASN1::IA5String(std::string("a\"b\\c\n\x1b\x7f\xe9", 9))), R"("a\"b\\c\x0a\x1b\x7f\xe9")");
    EXPECT_EQ(print(ASN1::BMPString(L"tab\t")), R"("tab\x09")");
}

TEST(ValueNotationWriter, LeavesTheCallersFormattingAlone)
{
    std::ostringstream os;
    os << std::hex << std::setfill('*');
    os << ASN1::OCTET_STRING(std::vector<char>{0x0a}) << ' ' << ASN1::INTEGER(255) << ' ' << 255 << ' ' << std::setw(4) << 1;
    EXPECT_EQ(os.str(), "'0a'H 255 ff ***1");
}

TEST(ValueNotationWriter, UnprintableValueFailsTheStream)
{
    const auto unselected = Shape::make<ASN1::SEQUENCE>(Shape::Message);
    unselected->includeOptionalField(0, 0);
    std::ostringstream os;
    os << *unselected;
    EXPECT_TRUE(os.fail());
    os << "dropped";
    EXPECT_EQ(os.str(), "{\n  seq 0,\n  pdu ");
    EXPECT_EQ(unselected->asValueNotation(), "{\n  seq 0,\n  pdu ");

    ASN1::OpenData empty;
    EXPECT_EQ(empty.print_on(os), std::ios_base::failbit);

    std::ostringstream failed;
    failed.setstate(std::ios_base::failbit);
    failed << ASN1::INTEGER(1);
    EXPECT_EQ(failed.str(), "");
    EXPECT_EQ(failed.rdstate(), std::ios_base::failbit);
}

TEST(ValueNotationWriter, OpenTypesPrintTheirContent)
{
    EXPECT_EQ(print(ASN1::OpenData(&ASN1::OpenData::theInfo, new ASN1::INTEGER(4))), "4");
    ASN1::OpenData encoded;
    encoded.setBuf({1, 2});
    EXPECT_EQ(print(encoded), "'01 02'H");
}

}  // namespace
