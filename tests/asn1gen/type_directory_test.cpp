#include "asn1/gen/type_directory.h"

#include "asn1/gen/parser.h"

#include <gtest/gtest.h>

namespace asn1gen {
namespace {

std::string directory(const std::string& body)
{
    Schema schema;
    parse_modules(schema, "M DEFINITIONS AUTOMATIC TAGS ::= BEGIN\n" + body + "\nEND\n", "m.asn");
    schema.resolve();
    const TypeCatalogue catalogue(schema);
    return emit_type_directory(schema, catalogue);
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(TypeDirectory, NamesInlineTypesByTheirPathInStandardSpelling)
{
    const std::string text = directory(
        "Outer_Type ::= SEQUENCE {\n"
        "  in_field SEQUENCE { list SEQUENCE OF SEQUENCE { x BOOLEAN } },\n"
        "  choice CHOICE { alt-one ENUMERATED { a, b } },\n"
        "  name IA5String (SIZE (1..8)),\n"
        "  tags SET OF CHOICE { t INTEGER },\n"
        "  ref Item\n"
        "}\n"
        "Item ::= ENUMERATED { a }");
    EXPECT_TRUE(contains(text, "{\"M\", \"Outer_Type\", \"Outer-Type\", \"Outer-Type\", &M::Outer_Type::theInfo, "
                               "&M::Outer_Type::theInfo},"));
    EXPECT_TRUE(contains(text, "{\"M\", \"Outer_Type_in_field\", \"Outer-Type_in-field\", \"Outer-Type\", "
                               "&M::Outer_Type_in_field::theInfo, &M::Outer_Type::theInfo},"));
    EXPECT_TRUE(contains(text, "\"Outer_Type_in_field_list_subtype\", \"Outer-Type_in-field_list_SEQOF\""));
    EXPECT_TRUE(contains(text, "\"Outer_Type_choice_alt_one\", \"Outer-Type_choice_alt-one\""));
    EXPECT_TRUE(contains(text, "\"Outer_Type::name::value_type\", \"Outer-Type_name\""));
    EXPECT_TRUE(contains(text, "\"Outer_Type_tags_subtype\", \"Outer-Type_tags_SETOF\""));
    // A referenced type has its own entry only, under its own name.
    EXPECT_FALSE(contains(text, "Outer-Type_ref"));
    EXPECT_TRUE(contains(text, "{\"M\", \"Item\", \"Item\", \"Item\", &M::Item::theInfo, &M::Item::theInfo},"));
}

TEST(TypeDirectory, TheElementOfAListAssignmentIsOwnedByTheList)
{
    const std::string text = directory("Rows ::= SEQUENCE OF SEQUENCE { n INTEGER }");
    EXPECT_TRUE(contains(text, "{\"M\", \"Rows_subtype\", \"Rows_SEQOF\", \"Rows\", &M::Rows_subtype::theInfo, "
                               "&ASN1::SEQUENCE_OF<M::Rows_subtype>::theInfo},"));
    EXPECT_TRUE(contains(text, "#include \"asn1/modules/M.h\""));
}

}  // namespace
}  // namespace asn1gen
