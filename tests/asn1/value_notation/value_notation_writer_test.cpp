#include "asn1/runtime/value_notation_writer.h"

#include "asn1/modules/LGCP.h"
#include "asn1/test_module.h"

#include <gtest/gtest.h>

#include <iomanip>
#include <sstream>

namespace {

std::string print(const ASN1::AbstractData& value)
{
    std::ostringstream os;
    os << value;
    EXPECT_TRUE(os.good());
    return os.str();
}

TEST(ValueNotationWriter, IndentsNestedBlocksAndLists)
{
    EXPECT_EQ(print(ASN1::SEQUENCE_OF<ASN1::INTEGER>()), "{\n}");

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
    EXPECT_EQ(print(ASN1::OpenData(&ASN1::OpenData::theInfo, new ASN1::INTEGER(4))), "4");
    ASN1::OpenData encoded;
    encoded.setBuf({1, 2});
    EXPECT_EQ(print(encoded), "'01 02'H");
}

TEST(ValueNotationWriter, IntegersByConstraintAndEnumeratorsByNameElseNumber)
{
    EXPECT_EQ(print(ASN1::INTEGER(-1, &ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 4294967295u>::theInfo)), "4294967295");
    EXPECT_EQ(print(ASN1::INTEGER(-1)), "-1");
    EXPECT_EQ(print(ASN1::INTEGER(-1, &ASN1::Constrained_INTEGER<ASN1::FixedConstraint, -128, 127u>::theInfo)), "-1");
    EXPECT_EQ(print(ASN1::IntegerWithNamedNumber(-5, &TestModule::Level_info)), "low");
    EXPECT_EQ(print(ASN1::IntegerWithNamedNumber(8, &TestModule::Level_info)), "8");

    LGCP::ErrorCause cause;
    cause.setValue(13);
    EXPECT_EQ(print(cause), "13");
    TestModule::Dscp dscp;
    for (const auto& [value, text] : {std::pair{8, "cs1"}, {23, "count"}, {2, "2"}}) {
        dscp.setValue(value);
        EXPECT_EQ(print(dscp), text);
    }
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
    LGCP::Message unselected;
    unselected.set_seq(0);
    std::ostringstream os;
    os << unselected;
    EXPECT_TRUE(os.fail());
    os << "dropped";
    EXPECT_EQ(os.str(), "{\n  seq 0,\n  pdu ");
    EXPECT_EQ(unselected.asValueNotation(), "{\n  seq 0,\n  pdu ");

    ASN1::OpenData empty;
    EXPECT_EQ(empty.print_on(os), std::ios_base::failbit);

    std::ostringstream failed;
    failed.setstate(std::ios_base::failbit);
    failed << ASN1::INTEGER(1);
    EXPECT_EQ(failed.str(), "");
    EXPECT_EQ(failed.rdstate(), std::ios_base::failbit);
}

}  // namespace
