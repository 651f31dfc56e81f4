#include "asn1/gen/type_catalogue.h"

#include "asn1/gen/parser.h"

#include <gtest/gtest.h>

#include <sstream>

namespace asn1gen {
namespace {

struct Loaded {
    Schema schema;
    std::unique_ptr<TypeCatalogue> catalogue;
};

std::unique_ptr<Loaded> load(const std::string& text)
{
    auto loaded = std::make_unique<Loaded>();
    parse_modules(loaded->schema, text, "t.asn");
    loaded->schema.resolve();
    loaded->catalogue = std::make_unique<TypeCatalogue>(loaded->schema);
    return loaded;
}

std::vector<std::string> names(const std::vector<const ClassInfo*>& classes)
{
    std::vector<std::string> result;
    for (const ClassInfo* info : classes)
        result.push_back(info->qualified());
    return result;
}

const char two_modules[] =
    "A DEFINITIONS AUTOMATIC TAGS ::= BEGIN\n"
    "IMPORTS Addr FROM B;\n"
    "Message ::= SEQUENCE {\n"
    "  seq INTEGER OPTIONAL,\n"
    "  dtmf-params SEQUENCE { twist INTEGER (0..65535) },\n"
    "  dname IA5String (SIZE (1..64)) OPTIONAL,\n"
    "  mixer Mixers,\n"
    "  pdu PDU\n"
    "}\n"
    "Mixers ::= SEQUENCE OF SEQUENCE { unit INTEGER, kind ENUMERATED { a, b } }\n"
    "PDU ::= CHOICE { addr Addr, tones SET OF Tone, again Message, alias Alias }\n"
    "Alias ::= Tone\n"
    "Tone ::= ENUMERATED { dtmf, r1 }\n"
    "Unused ::= SEQUENCE { x NULL }\n"
    "Number ::= INTEGER (0..7)\n"
    "END\n"
    "B DEFINITIONS AUTOMATIC TAGS ::= BEGIN\n"
    "Addr ::= SEQUENCE { ip IA5String, port INTEGER }\n"
    "Other ::= CHOICE { x NULL }\n"
    "END\n";

TEST(TypeCatalogue, NamesEveryClassWhereverItsTypeIsWritten)
{
    const auto loaded = load(two_modules);
    std::vector<std::string> all;
    for (const ClassInfo& info : loaded->catalogue->classes())
        all.push_back(info.qualified());
    EXPECT_EQ(all, (std::vector<std::string>{"A::Message", "A::Message_dtmf_params", "A::Message::dname::value_type",
                       "A::Mixers_subtype", "A::Mixers_subtype_kind", "A::PDU", "A::Tone", "A::Unused", "B::Addr",
                       "B::Other"}));
}

TEST(TypeCatalogue, ClosureFollowsFieldsListsAliasesAndImportsOnce)
{
    const auto loaded = load(two_modules);
    const Schema& schema = loaded->schema;
    const ClassInfo* message = loaded->catalogue->class_of(*schema.find_qualified("A::Message")->type);
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(names(loaded->catalogue->closure(*message)),
        (std::vector<std::string>{"A::Message", "A::Message_dtmf_params", "A::Message::dname::value_type",
            "A::Mixers_subtype", "A::Mixers_subtype_kind", "A::PDU", "B::Addr", "A::Tone"}));
    EXPECT_EQ(loaded->catalogue->class_for(*schema.find_qualified("A::Alias")->type)->qualified(), "A::Tone");
    EXPECT_EQ(loaded->catalogue->class_of(*schema.find_qualified("A::Number")->type), nullptr);
}

TEST(TypeCatalogue, ReportCountsPerModuleAndPerRoot)
{
    const auto loaded = load(two_modules);
    std::ostringstream report;
    write_type_report(report, loaded->schema, *loaded->catalogue, {"A::Message", "B::Other"});
    EXPECT_EQ(report.str(),
        "types: 10\n  A 8\n  B 2\n"
        "reached from A::Message: 8\n  A 7\n  B 1\n"
        "reached from B::Other: 1\n  B 1\n");
    EXPECT_THROW(write_type_report(report, loaded->schema, *loaded->catalogue, {"A::Number"}), std::runtime_error);
}

TEST(TypeCatalogue, RefusesTwoTypesWithOneClassName)
{
    try {
        load("A DEFINITIONS AUTOMATIC TAGS ::= BEGIN\n"
             "T ::= SEQUENCE { f SEQUENCE { x NULL } }\n"
             "T_f ::= ENUMERATED { a }\n"
             "END\n");
        FAIL() << "accepted";
    } catch (const SourceError& e) {
        EXPECT_STREQ(e.what(), "t.asn:3: class name A::T_f is already taken by the type at line 2");
    }
}

}  // namespace
}  // namespace asn1gen
