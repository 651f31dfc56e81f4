#include "asn1/gen/parser.h"

#include <gtest/gtest.h>

namespace asn1gen {
namespace {

Schema parse(const std::string& body, const std::string& imports = "")
{
    Schema schema;
    parse_modules(schema, "M DEFINITIONS AUTOMATIC TAGS ::= BEGIN\n" + imports + body + "\nEND\n", "m.asn");
    return schema;
}

const Type& type_of(const Schema& schema, const std::string& name)
{
    const Assignment* a = schema.find_qualified("M::" + name);
    if (!a)
        throw std::runtime_error("no type " + name);
    return *a->type;
}

// The message expected from parsing (and resolving) the text, or "" when it is accepted.
std::string error_of(const std::string& text)
{
    try {
        Schema schema;
        parse_modules(schema, text, "m.asn");
        schema.resolve();
    } catch (const SourceError& e) {
        return e.what();
    }
    return "";
}

std::string error_of_body(const std::string& body)
{
    return error_of("M DEFINITIONS AUTOMATIC TAGS ::= BEGIN\n" + body + "\nEND\n");
}

TEST(Parser, EnumeratorsCountOnFromTheLastNumber)
{
    const Schema schema = parse(
        "Dscp ::= ENUMERATED { cs0, le, cs1(8), af11(10), count(23) }\n"
        "Standby ::= ENUMERATED { not-use(-1), active, standby }\n"
        "Gain ::= ENUMERATED { rsh(10), fake(255), min(0), max(10), mux, ... }\n"
        "Priority ::= ENUMERATED { emergency(1), urgent }\n");

    const Type& dscp = type_of(schema, "Dscp");
    ASSERT_EQ(dscp.enumerators.size(), 5u);
    EXPECT_EQ(dscp.enumerators[1].value, 1);
    EXPECT_EQ(dscp.enumerators[4].value, 23);
    EXPECT_EQ(dscp.max_enum_value(), 23);
    EXPECT_FALSE(dscp.extensible);

    const Type& standby = type_of(schema, "Standby");
    EXPECT_EQ(standby.enumerators[0].value, -1);
    EXPECT_EQ(standby.enumerators[2].value, 1);
    EXPECT_EQ(standby.max_enum_value(), 1);

    const Type& gain = type_of(schema, "Gain");
    EXPECT_EQ(gain.enumerators[4].value, 11);
    EXPECT_EQ(gain.max_enum_value(), 255);
    EXPECT_TRUE(gain.extensible);

    EXPECT_EQ(type_of(schema, "Priority").enumerators[1].value, 2);
}

TEST(Parser, NamesTableGivesTheNumberExactlyWhereItIsNotThePreviousPlusOne)
{
    const Schema schema = parse(
        "Dscp ::= ENUMERATED { cs0(0), le(1), cs1(8), af11(10), cs7(56), count(23) }\n"
        "Standby ::= ENUMERATED { not-use(-1), active(0), standby(1) }\n"
        "Gain ::= ENUMERATED { rsh(10), fake(255), min(0), max(10), mux(11) }\n"
        "Priority ::= ENUMERATED { emergency(1), urgent(2) }\n");
    const Type& dscp = type_of(schema, "Dscp");
    EXPECT_EQ(dscp.names_table_entry(0), "cs0");
    EXPECT_EQ(dscp.names_table_entry(1), "le");
    EXPECT_EQ(dscp.names_table_entry(2), "cs1=8");
    EXPECT_EQ(dscp.names_table_entry(4), "cs7=56");
    EXPECT_EQ(dscp.names_table_entry(5), "count=23");
    const Type& standby = type_of(schema, "Standby");
    EXPECT_EQ(standby.names_table_entry(0), "not-use=-1");
    EXPECT_EQ(standby.names_table_entry(1), "active");
    const Type& gain = type_of(schema, "Gain");
    EXPECT_EQ(gain.names_table_entry(0), "rsh=10");
    EXPECT_EQ(gain.names_table_entry(2), "min=0");
    EXPECT_EQ(gain.names_table_entry(4), "mux");
    EXPECT_EQ(type_of(schema, "Priority").names_table_entry(0), "emergency=1");
}

TEST(Parser, SequenceSplitsRootFieldsFromExtensionAdditions)
{
    const Schema schema = parse(
        "Plain ::= SEQUENCE { a INTEGER OPTIONAL, b INTEGER (0..1023) }\n"
        "Open ::= SEQUENCE { a BOOLEAN, ... }\n"
        "Grown ::= SEQUENCE { a BOOLEAN, b NULL OPTIONAL, ..., c INTEGER, d OCTET STRING }\n"
        "Alt ::= CHOICE { x NULL, y-z OBJECT IDENTIFIER, ... }\n");

    const Type& plain = type_of(schema, "Plain");
    EXPECT_FALSE(plain.extensible);
    EXPECT_EQ(plain.root_count, 2u);
    EXPECT_TRUE(plain.components[0].optional);
    EXPECT_FALSE(plain.components[1].optional);
    ASSERT_TRUE(plain.components[1].type->constraint);
    EXPECT_EQ(plain.components[1].type->constraint->upper, 1023);

    const Type& open = type_of(schema, "Open");
    EXPECT_TRUE(open.extensible);
    EXPECT_EQ(open.root_count, 1u);

    const Type& grown = type_of(schema, "Grown");
    EXPECT_TRUE(grown.extensible);
    EXPECT_EQ(grown.root_count, 2u);
    ASSERT_EQ(grown.components.size(), 4u);
    EXPECT_EQ(grown.components[3].type->kind, TypeKind::OctetString);

    const Type& alt = type_of(schema, "Alt");
    EXPECT_TRUE(alt.extensible);
    EXPECT_EQ(alt.root_count, 2u);
    EXPECT_EQ(alt.components[1].name, "y-z");
}

TEST(Parser, ReadsConstraintsListsAndComments)
{
    const Schema schema = parse(
        "-- a comment line\n"
        "S ::= SEQUENCE { -- inline -- name IA5String (SIZE (1..64)), id INTEGER (-128..127),\n"
        "  big INTEGER (0..4294967295), set SET OF INTEGER, list SEQUENCE OF SEQUENCE { x NULL } }\n");
    const Type& s = type_of(schema, "S");
    ASSERT_EQ(s.components.size(), 5u);
    EXPECT_EQ(s.components[0].type->kind, TypeKind::IA5String);
    EXPECT_EQ(s.components[0].type->constraint->lower, 1);
    EXPECT_EQ(s.components[1].type->constraint->lower, -128);
    EXPECT_EQ(s.components[2].type->constraint->upper, 4294967295LL);
    EXPECT_EQ(s.components[3].type->kind, TypeKind::SetOf);
    EXPECT_EQ(s.components[4].type->element->kind, TypeKind::Sequence);
    EXPECT_EQ(s.components[4].where.line, 4);
}

TEST(Parser, ResolvesReferencesThroughImports)
{
    Schema schema;
    parse_modules(schema,
        "A DEFINITIONS AUTOMATIC TAGS ::= BEGIN IMPORTS Addr FROM B; T ::= SEQUENCE { a Addr, b Local } "
        "Local ::= INTEGER END\n"
        "B DEFINITIONS AUTOMATIC TAGS ::= BEGIN Addr ::= SEQUENCE { ip IA5String } END\n",
        "ab.asn");
    schema.resolve();
    const Type& t = *schema.find_qualified("A::T")->type;
    EXPECT_EQ(t.components[0].type->target, schema.find_qualified("B::Addr"));
    EXPECT_EQ(t.components[1].type->target, schema.find_qualified("A::Local"));
    EXPECT_EQ(dereference(*t.components[1].type).kind, TypeKind::Integer);
}

TEST(Parser, ReportsFaultsWithFileAndLine)
{
    EXPECT_EQ(error_of_body("T ::= SEQUENCE { a INTEGER b BOOLEAN }"), "m.asn:2: expected ',', found 'b'");
    EXPECT_EQ(error_of_body("T ::= SEQUENCE {\n a INTEGER,\n a BOOLEAN }"), "m.asn:4: a is named twice");
    EXPECT_EQ(error_of_body("T ::= ENUMERATED { a, b, a(3) }"), "m.asn:2: a is named twice");
    EXPECT_EQ(error_of_body("T ::= ENUMERATED { a, ..., b }"),
        "m.asn:2: expected '}': enumerators after the extension marker are not supported, found 'b'");
    EXPECT_EQ(error_of_body("T ::= SEQUENCE { a NULL, ..., b NULL, ... }"),
        "m.asn:2: a second extension marker is not supported, found '...'");
    EXPECT_EQ(error_of_body("T ::= CHOICE { }"), "m.asn:2: expected an alternative, found '}'");
    EXPECT_EQ(error_of_body("T ::= INTEGER (5..1)"), "m.asn:2: empty range");
    EXPECT_EQ(error_of_body("T ::= REAL"), "m.asn:2: unknown type REAL in module M");
    EXPECT_EQ(error_of_body("T ::= real"), "m.asn:2: unknown or unsupported type real");
    EXPECT_EQ(error_of_body("T ::= ENUMERATED { a(4294967296) }"), "m.asn:2: number out of range, found '4294967296'");
    EXPECT_EQ(error_of_body("T ::= ENUMERATED { a(2147483648) }"), "m.asn:2: the value of a does not fit 32 bits");
    EXPECT_EQ(error_of_body("T ::= SEQUENCE { a Missing }"), "m.asn:2: unknown type Missing in module M");
    EXPECT_EQ(error_of_body("T ::= INTEGER\nT ::= NULL"), "m.asn:3: type T is defined twice in module M");
    EXPECT_EQ(error_of_body("A ::= B\nB ::= A"), "m.asn:2: type A is defined only through itself");
    EXPECT_EQ(error_of_body("T ::= SEQUENCE { a INTEGER"), "m.asn:3: expected ',', found 'END'");
    EXPECT_EQ(error_of("M DEFINITIONS ::= BEGIN END"), "m.asn:1: expected AUTOMATIC, found '::='");
    EXPECT_EQ(error_of("M DEFINITIONS AUTOMATIC TAGS ::= BEGIN IMPORTS X FROM N; END"),
        "m.asn:1: import from unknown module N");
    EXPECT_EQ(error_of("M DEFINITIONS AUTOMATIC TAGS ::= BEGIN T ::= NULL END\n"
                       "N DEFINITIONS AUTOMATIC TAGS ::= BEGIN IMPORTS U FROM M; END"),
        "m.asn:2: module M does not define U");
    EXPECT_EQ(error_of("M DEFINITIONS AUTOMATIC TAGS ::= BEGIN T ::= NULL"), "m.asn:1: expected a type name or END, found end of file");
    EXPECT_EQ(error_of("M DEFINITIONS AUTOMATIC TAGS ::= BEGIN T ::= NULL # END"), "m.asn:1: unexpected character '#'");
}

}  // namespace
}  // namespace asn1gen
