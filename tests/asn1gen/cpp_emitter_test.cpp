#include "asn1/gen/cpp_emitter.h"

#include "asn1/gen/parser.h"

#include <gtest/gtest.h>

namespace asn1gen {
namespace {

CppModule emit(const std::string& body, unsigned parts = 1)
{
    Schema schema;
    parse_modules(schema, "M DEFINITIONS AUTOMATIC TAGS ::= BEGIN\n" + body + "\nEND\n", "m.asn");
    schema.resolve();
    const TypeCatalogue catalogue(schema);
    return emit_cpp_module(schema.modules().front(), catalogue, parts);
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(CppEmitter, DefinesEachClassAfterTheClassesItHoldsByValue)
{
    const CppModule cpp = emit("Outer ::= SEQUENCE { inner Inner, list SEQUENCE OF Item }\n"
                               "Inner ::= CHOICE { item Alias }\n"
                               "Alias ::= Item\n"
                               "Item ::= ENUMERATED { a }\n");
    const std::string& h = cpp.header;
    const std::size_t item = h.find("class Item ");
    const std::size_t inner = h.find("class Inner ");
    const std::size_t outer = h.find("class Outer ");
    ASSERT_NE(outer, std::string::npos);
    EXPECT_LT(item, inner);
    EXPECT_LT(inner, outer);
    EXPECT_TRUE(contains(h, "using Alias = M::Item;"));
    EXPECT_TRUE(contains(h, "ASN1::SEQUENCE_OF<M::Item>& get_list()"));
}

TEST(CppEmitter, SpreadsTheTablesOverTheRequestedSources)
{
    const CppModule cpp = emit("A ::= ENUMERATED { x }\nB ::= ENUMERATED { x }\nC ::= ENUMERATED { x }", 2);
    ASSERT_EQ(cpp.sources.size(), 2u);
    EXPECT_TRUE(contains(cpp.sources[0], "const A::InfoType A::theInfo"));
    EXPECT_FALSE(contains(cpp.sources[0], "B::theInfo"));
    EXPECT_TRUE(contains(cpp.sources[1], "const B::InfoType B::theInfo"));
    EXPECT_TRUE(contains(cpp.sources[1], "const C::InfoType C::theInfo"));
}

TEST(CppEmitter, KeepsConstantsOffKeywordsAndBaseMembers)
{
    const CppModule cpp = emit("Pick ::= CHOICE { info NULL, delete NULL, read NULL }\n"
                               "Mode ::= ENUMERATED { getValue, new, write }");
    EXPECT_TRUE(contains(cpp.header, "info_ = 0,"));
    EXPECT_TRUE(contains(cpp.header, "delete_ = 1,"));
    EXPECT_TRUE(contains(cpp.header, "read = 2,"));
    EXPECT_TRUE(contains(cpp.header, "ASN1::Null* get_delete() { return getSelectionAs<ASN1::Null>(delete_); }"));
    EXPECT_TRUE(contains(cpp.header, "getValue_ = 0,"));
    EXPECT_TRUE(contains(cpp.header, "new_ = 1,"));
}

TEST(CppEmitter, RefusesWhatCppCannotHold)
{
    EXPECT_THROW(emit("Node ::= SEQUENCE { next Node }"), SourceError);
    EXPECT_THROW(emit("A ::= SEQUENCE { b B }\nB ::= CHOICE { a A }"), SourceError);
    EXPECT_THROW(emit("T ::= SEQUENCE { a-b NULL, a_b NULL }"), SourceError);
    EXPECT_THROW(emit("T ::= CHOICE { a-b NULL, a_b NULL }"), SourceError);
}

}  // namespace
}  // namespace asn1gen
