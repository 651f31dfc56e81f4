#include "asn1/gen/parser.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace asn1gen {
namespace {

Schema parse(const std::string& body)
{
    Schema schema;
    parse_modules(schema, "M DEFINITIONS AUTOMATIC TAGS ::= BEGIN\n" + body + "\nEND\n", "m.asn");
    return schema;
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

TEST(Parser, EnumeratorsCountOnFromTheLastNumberAndTheNamesTableSaysWhereTheyJump)
{
    const Schema schema = parse(
        "Dscp ::= ENUMERATED { cs0, le, cs1(8), af11(10), cs7(56), count(23) }\n"
        "Standby ::= ENUMERATED { not-use(-1), active, standby }\n"
        "Gain ::= ENUMERATED { rsh(10), fake(255), min(0), max(10), mux, ... }\n");
    const struct {
        const char* type;
        std::vector<std::string> entries;
        std::int64_t last, max;
        bool extensible;
    } cases[] = {
        {"Dscp", {"cs0", "le", "cs1=8", "af11=10", "cs7=56", "count=23"}, 23, 56, false},
        {"Standby", {"not-use=-1", "active", "standby"}, 1, 1, false},
        {"Gain", {"rsh=10", "fake=255", "min=0", "max=10", "mux"}, 11, 255, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        const Assignment* assignment = schema.find_qualified(std::string("M::") + c.type);
        ASSERT_NE(assignment, nullptr);
        const Type& type = *assignment->type;
        ASSERT_EQ(type.enumerators.size(), c.entries.size());
        for (std::size_t i = 0; i < c.entries.size(); ++i)
            EXPECT_EQ(type.names_table_entry(i), c.entries[i]);
        EXPECT_EQ(type.enumerators.back().value, c.last);
        EXPECT_EQ(type.max_enum_value(), c.max);
        EXPECT_EQ(type.extensible, c.extensible);
    }
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
    EXPECT_EQ(error_of_body("T ::= INTEGER (5..1)"), "m.asn:2: empty range");
    EXPECT_EQ(error_of_body("T ::= REAL"), "m.asn:2: unknown type REAL in module M");
    EXPECT_EQ(error_of_body("T ::= ENUMERATED { a(4294967296) }"), "m.asn:2: number out of range, found '4294967296'");
    EXPECT_EQ(error_of_body("T ::= ENUMERATED { a(2147483648) }"), "m.asn:2: the value of a does not fit 32 bits");
    EXPECT_EQ(error_of_body("T ::= INTEGER\nT ::= NULL"), "m.asn:3: type T is defined twice in module M");
    EXPECT_EQ(error_of_body("A ::= B\nB ::= A"), "m.asn:2: type A is defined only through itself");
    EXPECT_EQ(error_of("M DEFINITIONS AUTOMATIC TAGS ::= BEGIN IMPORTS X FROM N; END"),
        "m.asn:1: import from unknown module N");
    EXPECT_EQ(error_of("M DEFINITIONS AUTOMATIC TAGS ::= BEGIN T ::= NULL END\n"
                       "N DEFINITIONS AUTOMATIC TAGS ::= BEGIN IMPORTS U FROM M; END"),
        "m.asn:2: module M does not define U");
}

}  // namespace
}  // namespace asn1gen
