// What the generator writes from a module: the C++ classes and the plain-ASN.1 export.

#include "asn1/gen/asn1_export.h"
#include "asn1/gen/cpp_emitter.h"
#include "asn1/gen/parser.h"

#include <gtest/gtest.h>

#include <sstream>

namespace asn1gen {
namespace {

Schema parsed(const std::string& body, const std::string& module = "M")
{
    Schema schema;
    parse_modules(schema, module + " DEFINITIONS AUTOMATIC TAGS ::= BEGIN\n" + body + "\nEND\n", "m.asn");
    schema.resolve();
    return schema;
}

std::string header(const std::string& body)
{
    const Schema schema = parsed(body);
    const TypeCatalogue catalogue(schema);
    return emit_cpp_module(schema.modules().front(), catalogue, 1).header;
}

// The export's module text between the header and END.
std::string exported(const std::string& body)
{
    std::ostringstream out;
    write_standard_module(out, parsed(body, "M_X").modules().front());
    const std::string text = out.str();
    const std::string begin = "M-X DEFINITIONS AUTOMATIC TAGS ::=\nBEGIN\n\n";
    const std::size_t from = text.find(begin);
    EXPECT_NE(from, std::string::npos);
    return text.substr(from + begin.size(), text.rfind("END\n") - from - begin.size());
}

TEST(CppEmitter, KeepsConstantsOffKeywordsAndBaseMembers)
{
    const std::string h = header("Pick ::= CHOICE { info NULL, delete NULL, read NULL }\n"
                                 "Mode ::= ENUMERATED { getValue, new, write }");
    for (const char* part : {"info_ = 0,", "delete_ = 1,", "read = 2,", "getValue_ = 0,", "new_ = 1,",
                             "ASN1::Null* get_delete() { return getSelectionAs<ASN1::Null>(delete_); }"})
        EXPECT_NE(h.find(part), std::string::npos) << part;
}

TEST(CppEmitter, NamesThePresenceIdOfEveryOptionalFieldAndAddition)
{
    const std::string h = header("T ::= SEQUENCE { a NULL, b NULL OPTIONAL, delete NULL OPTIONAL, ..., c-d NULL, e NULL }\n"
                                 "U ::= SEQUENCE { a NULL, ... }");
    const std::string ids = "    struct Optional {\n        enum Id : unsigned {\n            b = 0,\n"
                            "            delete_ = 1,\n            c_d = 2,\n            e = 3,\n        };\n    };\n";
    EXPECT_NE(h.find(ids), std::string::npos) << h;
    EXPECT_EQ(h.find("struct Optional"), h.rfind("struct Optional"));  // none for U
    EXPECT_NE(h.find("OptionalField::included<ASN1::Null>(*this, Optional::c_d, 3)"), std::string::npos);
}

TEST(CppEmitter, WritesPerCodeOnlyForSequencesWhosePresenceBitsFitOneRead)
{
    // 31 optional fields and the extension bit take one read of 32 bits; 32 optional fields are
    // left to the coders' walk.
    std::string optionals;
    for (int i = 0; i < 31; ++i)
        optionals += "f" + std::to_string(i) + " NULL OPTIONAL, ";
    const std::string h = header("Fits ::= SEQUENCE { " + optionals + "... }\nWide ::= SEQUENCE { " + optionals +
                                 "f31 NULL OPTIONAL }\nPick ::= CHOICE { a NULL, b Wide }");
    const auto classText = [&](const std::string& name) {
        const std::size_t from = h.find("class " + name + " ");
        EXPECT_NE(from, std::string::npos) << name;
        return h.substr(from, h.find("\n};\n", from) - from);
    };
    const std::string declared = "static bool perDecode(ASN1::PERDecoder& d, ASN1::AbstractData& value);";
    EXPECT_NE(classText("Fits").find(declared), std::string::npos) << h;
    EXPECT_NE(classText("Pick").find(declared), std::string::npos) << h;
    EXPECT_EQ(classText("Wide").find(declared), std::string::npos) << h;
}

TEST(CppEmitter, RefusesWhatCppCannotHold)
{
    EXPECT_THROW(header("Node ::= SEQUENCE { next Node }"), SourceError);
    EXPECT_THROW(header("A ::= SEQUENCE { b B }\nB ::= CHOICE { a A }"), SourceError);
    EXPECT_THROW(header("T ::= SEQUENCE { a-b NULL, a_b NULL }"), SourceError);
    EXPECT_THROW(header("T ::= CHOICE { a-b NULL, a_b NULL }"), SourceError);
    try {
        header("T ::= SEQUENCE { f SEQUENCE { x NULL } }\nT_f ::= ENUMERATED { a }");
        ADD_FAILURE() << "accepted";
    } catch (const SourceError& e) {
        EXPECT_STREQ(e.what(), "m.asn:3: class name M::T_f is already taken by the type at line 2");
    }
}

TEST(Asn1Export, EnumeratedNotNumberedInOrderBecomesItsCodedIntegerRange)
{
    EXPECT_EQ(exported("Dscp ::= ENUMERATED { cs0, le, cs1(8), count(3) }"), "Dscp ::= INTEGER (0..8)\n\n");
    EXPECT_EQ(exported("Id ::= ENUMERATED { get(4097), keep, ... }"), "Id ::= INTEGER (0..4098, ...)\n\n");
    EXPECT_EQ(exported("Standby ::= ENUMERATED { not-use(-1), active, standby }"), "Standby ::= INTEGER (0..1)\n\n");
    EXPECT_EQ(exported("Twice ::= ENUMERATED { a, b, c(1) }"), "Twice ::= INTEGER (0..1)\n\n");
    EXPECT_EQ(exported("Plain_e ::= ENUMERATED { a(0), b_c(1), ... }"), "Plain-e ::= ENUMERATED {\n  a,\n  b-c,\n  ...\n}\n\n");
}

TEST(Asn1Export, RefusesNamesWithoutStandardSpelling)
{
    EXPECT_THROW(exported("T ::= SEQUENCE { a__b NULL }"), SourceError);
    EXPECT_THROW(exported("T ::= SEQUENCE { a_ NULL }"), SourceError);
    EXPECT_THROW(exported("T ::= ENUMERATED { neg(-2), less(-1) }"), SourceError);
}

}  // namespace
}  // namespace asn1gen
