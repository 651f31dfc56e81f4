#include "asn1/runtime/value_notation_reader.h"
#include "asn1/runtime/value_notation_writer.h"

#include "asn1/modules/LGCP.h"
#include "asn1/per/per_test_schema.h"
#include "asn1/test_module.h"

#include <gtest/gtest.h>

#include <iomanip>
#include <memory>
#include <sstream>
#include <vector>

namespace {

using Info = const ASN1::AbstractData::InfoType*;

// What text reads into as a value of info, printed; "refused" when it does not read.
std::string readBack(Info info, const std::string& text)
{
    std::unique_ptr<ASN1::AbstractData> value(info->create(info));
    if (!value->setFromValueNotation(text))
        return "refused";
    std::ostringstream os;
    os << *value;
    EXPECT_TRUE(os.good());
    return os.str();
}

TEST(ValueNotation, ReadsEveryFormIntoTheValueItPrints)
{
    const Info message = &LGCP::Message::theInfo;
    const Info bmp = &ASN1::BMPString::theInfo;
    const struct {
        Info info;
        const char* text;
        const char* printed;
    } cases[] = {
        // Words end at ",", "}" and ":" too, so that the writer's own output reads back.
        {&TERM::RtpParams::theInfo, R"({payload ptG723,dhost {iaddr "h",port 1},qos-dscp ef})",
         "{\n  payload ptG723,\n  dhost {\n    iaddr \"h\",\n    port 1\n  },\n  qos-dscp ef\n}"},
        {&TestModule::Outer::theInfo, R"({ id 5, pick nothing : NULL, items { { flag FALSE, label "x" }, { flag FALSE } }, e2 "ext" })",
         "{\n  id 5,\n  pick nothing : NULL,\n  items {\n    {\n      flag FALSE,\n      label \"x\"\n    },\n"
         "    {\n      flag FALSE\n    }\n  },\n  e2 \"ext\"\n}"},
        {message, "{ pdu response: error:13}", "{\n  pdu response : error : 13\n}"},
        {message, "{ seq -2147483648, slot 4294967295, pdu command : ping : NULL, }",
         "{\n  seq -2147483648,\n  slot 4294967295,\n  pdu command : ping : NULL\n}"},
        {&ASN1::OCTET_STRING::theInfo, "'A'H", "'a0'H"},
        {&ASN1::OCTET_STRING::theInfo, " '0a\n ff' H", "'0a ff'H"},
        {&ASN1::BIT_STRING::theInfo, "'101'B", "'101'B"},
        {&ASN1::SEQUENCE_OF<ASN1::INTEGER>::theInfo, "{ 1 ,2}", "{\n  1,\n  2\n}"},
        {&ASN1::SEQUENCE_OF<ASN1::INTEGER>::theInfo, "{ }", "{\n}"},
        {&TERM::RtpJitter::theInfo, "{ start 1, max 2 }", "{\n  start 1,\n  max 2\n}"},
        {&ASN1::Null::theInfo, "NULL", "NULL"},
        {&ASN1::BOOLEAN::theInfo, "TRUE", "TRUE"},
        {&TestModule::Level_info, "max", "max"},
        {&TestModule::Dscp::theInfo, "alias", "cs1"},  // two names for one value: the first prints
        {&TestModule::Dscp::theInfo, "2", "2"},
        {&ASN1::Constrained_INTEGER<ASN1::FixedConstraint, -128, 127u>::theInfo, "-1", "-1"},
        {&ASN1::OBJECT_IDENTIFIER::theInfo, "{ iso(1) member-body(2) 840 }", "{ 1 2 840 }"},
        // Control octets, quotes and backslashes escaped; characters beyond ASCII as quadruples.
        {&ASN1::IA5String::theInfo, R"("a\"b\\c\x0a\x1b\x7f\xe9")", R"("a\"b\\c\x0a\x1b\x7f\xe9")"},
        {bmp, R"("A\x09")", R"("A\x09")"},
        {bmp, "{{ 0, 0, 4, 22}, { 0, 0, 0, 65}}", "{{ 0, 0, 4, 22}, { 0, 0, 0, 65}}"},
        {bmp, "{ }", "\"\""},
        {&TestModule::InnerCarrier_info, "{ flag TRUE }", "{\n  flag TRUE\n}"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readBack(c.info, c.text), c.printed) << c.text;
}

TEST(ValueNotation, MalformedTextFails)
{
    const std::pair<Info, std::vector<const char*>> cases[] = {
        {&LGCP::Message::theInfo,
         {"{ seq 1, pdu command : pong : NULL }", "{ seq 1, pdu command ping : NULL }",
          "{ slot 1, seq 2, pdu command : ping : NULL }", "{ seq 1, pdu command : ping : NULL, extra 1 }",
          "{ seq 1, pdu command : ping : NULLX }", "{ seq 1, pdu command : ping : NULL",
          "{ seq 1; pdu command : ping : NULL }", "{ seq 2147483648, pdu command : ping : NULL }",
          "{ slot -1, pdu command : ping : NULL }", "{ slot 4294967296, pdu command : ping : NULL }",
          "{ seq 1, pdu response : error : noSuchCause }", "{ seq 1, pdu signal : number : \"open }",
          "{ seq 1, pdu signal : number : \"bad \\q escape\" }", "{ seq 1, pdu signal : number : \"short \\x4\" }", "",
          // A SEQUENCE may end early or after a comma only when no mandatory field remains.
          "{ seq 1, }", "{ seq 1 }", "{}"}},
        {&TERM::RtpJitter::theInfo, {"{ start 1 }"}},
        {&ASN1::SEQUENCE_OF<ASN1::INTEGER>::theInfo, {"{ 1, }"}},
        {&ASN1::OCTET_STRING::theInfo, {"'0g'H", "'0a'X", "'0a"}},
        {&ASN1::BIT_STRING::theInfo, {"'12'B"}},
        {&ASN1::Null::theInfo, {"NULLL"}},
        {&ASN1::BOOLEAN::theInfo, {"true"}},
        {&TestModule::Level_info, {"maximum"}},
        {&TestModule::Dscp::theInfo, {"beyond"}},  // beyond the root: no name to read
        {&ASN1::OBJECT_IDENTIFIER::theInfo, {"{ iso 2 }", "{ 1 2x }"}},
        {&ASN1::GeneralizedTime::theInfo, {"\"yesterday\""}},
        {&ASN1::OpenData::theInfo, {"4"}},
        {&ASN1::BMPString::theInfo,
         {R"("\xe9")", "{{ 1, 0, 0, 65}}", "{{ 0, 0, 256, 0}}", "{{ 0, 0, -1, 65}}", "{{ 0, 0, 65}}",
          "{{ 0, 0, 0, 65, 1}}", "{{ 0, 0, 0, 65}", "{{ 0, 0, 0, 65},}", "{ 0, 0, 0, 65 }", "{"}},
    };
    for (const auto& [info, texts] : cases)
        for (const char* text : texts)
            EXPECT_EQ(readBack(info, text), "refused") << text;
}

TEST(ValueNotation, MessagesReadBackFromTheirPrintLineByLine)
{
    // The create command carries the owner "opérateur", which prints as quadruples.
    const ASN1::SEQUENCE create = PerSchema::createMessage(9, 3);
    const std::string text = create.asValueNotation();
    ASSERT_NE(text.find("owner {{ 0, 0, 0, 111}, { 0, 0, 0, 112}, { 0, 0, 0, 233}"), std::string::npos) << text;
    ASN1::SEQUENCE back = PerSchema::newMessage();
    ASSERT_TRUE(back.setFromValueNotation(text));
    EXPECT_EQ(back, create);

    std::istringstream lines("{ pdu command : ping : NULL }\n{ seq 4, pdu command : query : NULL }\n{ seq x }");
    LGCP::Message first, second, third;
    EXPECT_TRUE(lines >> first >> second);
    EXPECT_EQ(second.asValueNotation(), "{\n  seq 4,\n  pdu command : query : NULL\n}");
    EXPECT_FALSE(lines >> third);
    // A stream already in error is left alone.
    std::istringstream failed("NULL");
    failed.setstate(std::ios_base::eofbit);
    ASN1::Null null;
    failed >> null;
    EXPECT_EQ(failed.rdstate(), std::ios_base::eofbit);
}

TEST(ValueNotation, LeavesTheCallersFormattingAlone)
{
    std::ostringstream os;
    os << std::hex << std::setfill('*');
    os << ASN1::OCTET_STRING(std::vector<char>{0x0a}) << ' ' << ASN1::INTEGER(255) << ' ' << 255 << ' ' << std::setw(4) << 1;
    EXPECT_EQ(os.str(), "'0a'H 255 ff ***1");
}

TEST(ValueNotation, UnprintableValueFailsTheStream)
{
    LGCP::Message unselected;
    unselected.set_seq(0);
    std::ostringstream os;
    os << unselected;
    EXPECT_TRUE(os.fail());
    os << "dropped";
    EXPECT_EQ(os.str(), "{\n  seq 0,\n  pdu ");
    EXPECT_EQ(unselected.asValueNotation(), "{\n  seq 0,\n  pdu ");

    std::ostringstream failed;
    failed.setstate(std::ios_base::failbit);
    failed << ASN1::INTEGER(1);
    EXPECT_EQ(failed.str(), "");
}

}  // namespace
