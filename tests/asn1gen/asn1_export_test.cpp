#include "asn1/gen/asn1_export.h"

#include "asn1/gen/parser.h"

#include <gtest/gtest.h>

#include <sstream>

namespace asn1gen {
namespace {

std::string exported(const std::string& body)
{
    Schema schema;
    parse_modules(schema, "M_X DEFINITIONS AUTOMATIC TAGS ::= BEGIN\n" + body + "\nEND\n", "m.asn");
    schema.resolve();
    std::ostringstream out;
    write_standard_module(out, schema.modules().front());
    return out.str();
}

// The module text between the header and END.
std::string body_of(const std::string& text)
{
    const std::string begin = "BEGIN\n\n";
    const std::size_t from = text.find(begin) + begin.size();
    return text.substr(from, text.rfind("END\n") - from);
}

TEST(Asn1Export, WritesUnderscoresAsHyphens)
{
    const std::string text = exported("CAS_Number ::= SEQUENCE { trunk_bri INTEGER, type CAS_Number_type }\n"
                                      "CAS_Number_type ::= ENUMERATED { e-and-m, persent_0 }");
    EXPECT_NE(text.find("M-X DEFINITIONS AUTOMATIC TAGS ::=\nBEGIN\n"), std::string::npos);
    EXPECT_EQ(body_of(text),
        "CAS-Number ::= SEQUENCE {\n  trunk-bri INTEGER,\n  type CAS-Number-type\n}\n\n"
        "CAS-Number-type ::= ENUMERATED {\n  e-and-m,\n  persent-0\n}\n\n");
}

TEST(Asn1Export, EnumeratedNotNumberedInOrderBecomesItsCodedIntegerRange)
{
    EXPECT_EQ(body_of(exported("Dscp ::= ENUMERATED { cs0, le, cs1(8), count(3) }")), "Dscp ::= INTEGER (0..8)\n\n");
    EXPECT_EQ(body_of(exported("Id ::= ENUMERATED { get(4097), keep, ... }")), "Id ::= INTEGER (0..4098, ...)\n\n");
    EXPECT_EQ(body_of(exported("Standby ::= ENUMERATED { not-use(-1), active, standby }")),
        "Standby ::= INTEGER (0..1)\n\n");
    EXPECT_EQ(body_of(exported("Twice ::= ENUMERATED { a, b, c(1) }")), "Twice ::= INTEGER (0..1)\n\n");
    EXPECT_EQ(body_of(exported("Plain ::= ENUMERATED { a(0), b(1), ... }")),
        "Plain ::= ENUMERATED {\n  a,\n  b,\n  ...\n}\n\n");
}

TEST(Asn1Export, KeepsStructureMarkersConstraintsAndImports)
{
    Schema schema;
    parse_modules(schema,
        "A DEFINITIONS AUTOMATIC TAGS ::= BEGIN IMPORTS Host_Addr FROM B;\n"
        "T ::= SEQUENCE { a Host_Addr OPTIONAL, b IA5String (SIZE (1..64)), ..., c SET OF INTEGER (-128..127),\n"
        "  d CHOICE { x NULL, ... } }\n"
        "END\n"
        "B DEFINITIONS AUTOMATIC TAGS ::= BEGIN Host_Addr ::= SEQUENCE { ip OBJECT IDENTIFIER, o OCTET STRING } END\n",
        "ab.asn");
    schema.resolve();
    std::ostringstream out;
    write_standard_module(out, schema.modules().front());
    EXPECT_EQ(body_of(out.str()),
        "IMPORTS\n  Host-Addr FROM B;\n\n"
        "T ::= SEQUENCE {\n"
        "  a Host-Addr OPTIONAL,\n"
        "  b IA5String (SIZE (1..64)),\n"
        "  ...,\n"
        "  c SET OF INTEGER (-128..127),\n"
        "  d CHOICE {\n"
        "    x NULL,\n"
        "    ...\n"
        "  }\n"
        "}\n\n");
}

TEST(Asn1Export, RefusesNamesWithoutStandardSpelling)
{
    EXPECT_THROW(exported("T ::= SEQUENCE { a__b NULL }"), SourceError);
    EXPECT_THROW(exported("T ::= SEQUENCE { a_ NULL }"), SourceError);
    EXPECT_THROW(exported("T ::= ENUMERATED { neg(-2), less(-1) }"), SourceError);
}

}  // namespace
}  // namespace asn1gen
