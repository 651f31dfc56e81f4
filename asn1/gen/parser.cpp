#include "asn1/gen/parser.h"

#include "asn1/gen/text_file.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <set>

namespace asn1gen {

namespace {

bool is_type_reference(const std::string& word)
{
    return !word.empty() && std::isupper(static_cast<unsigned char>(word[0]));
}

bool is_identifier(const std::string& word)
{
    return !word.empty() && std::islower(static_cast<unsigned char>(word[0]));
}

class Parser {
public:
    Parser(Schema& schema, const std::string& text, const std::string& file)
        : schema_(schema), lexer_(text, file)
    {
        advance();
    }

    void parse_all()
    {
        do
            parse_module();
        while (token_.kind != Token::end);
    }

private:
    void advance() { token_ = lexer_.next(); }

    [[noreturn]] void fail(const std::string& message) const
    {
        const std::string seen = token_.kind == Token::end ? "end of file" : "'" + token_.text + "'";
        throw SourceError(token_.where, message + ", found " + seen);
    }

    bool at_word(const char* word) const { return token_.kind == Token::word && token_.text == word; }
    bool at_symbol(char c) const { return token_.kind == Token::symbol && token_.text[0] == c; }

    void expect_word(const char* word)
    {
        if (!at_word(word))
            fail(std::string("expected ") + word);
        advance();
    }

    void expect_symbol(char c)
    {
        if (!at_symbol(c))
            fail(std::string("expected '") + c + "'");
        advance();
    }

    void expect(Token::Kind kind, const char* what)
    {
        if (token_.kind != kind)
            fail(std::string("expected ") + what);
        advance();
    }

    std::string take_type_reference(const char* what)
    {
        if (token_.kind != Token::word || !is_type_reference(token_.text))
            fail(std::string("expected ") + what);
        std::string name = token_.text;
        advance();
        return name;
    }

    std::string take_identifier(const char* what)
    {
        if (token_.kind != Token::word || !is_identifier(token_.text))
            fail(std::string("expected ") + what);
        std::string name = token_.text;
        advance();
        return name;
    }

    std::int64_t take_signed_number()
    {
        const bool negative = at_symbol('-');
        if (negative)
            advance();
        if (token_.kind != Token::number)
            fail("expected a number");
        errno = 0;
        const unsigned long long magnitude = std::strtoull(token_.text.c_str(), nullptr, 10);
        if (errno == ERANGE || magnitude > 0xffffffffULL)
            fail("number out of range");
        advance();
        const auto value = static_cast<std::int64_t>(magnitude);
        return negative ? -value : value;
    }

    void parse_module()
    {
        const SourceLocation where = token_.where;
        Module& module = schema_.add_module(take_type_reference("a module name"), where);
        expect_word("DEFINITIONS");
        expect_word("AUTOMATIC");
        expect_word("TAGS");
        expect(Token::assign, "'::='");
        expect_word("BEGIN");
        if (at_word("IMPORTS"))
            parse_imports(module);
        while (!at_word("END")) {
            Assignment& a = module.assignments.emplace_back();
            a.where = token_.where;
            a.name = take_type_reference("a type name or END");
            expect(Token::assign, "'::='");
            a.type = parse_type();
        }
        advance();
    }

    void parse_imports(Module& module)
    {
        advance();
        while (!at_symbol(';')) {
            Import& import = module.imports.emplace_back();
            import.where = token_.where;
            for (;;) {
                import.names.push_back(take_type_reference("an imported type name"));
                if (!at_symbol(','))
                    break;
                advance();
            }
            expect_word("FROM");
            import.module = take_type_reference("a module name");
        }
        advance();
    }

    TypePtr parse_type()
    {
        auto type = std::make_unique<Type>();
        type->where = token_.where;
        if (token_.kind != Token::word)
            fail("expected a type");
        const std::string word = token_.text;
        advance();
        if (word == "BOOLEAN") {
            type->kind = TypeKind::Boolean;
        } else if (word == "NULL") {
            type->kind = TypeKind::Null;
        } else if (word == "INTEGER") {
            type->kind = TypeKind::Integer;
            if (at_symbol('('))
                type->constraint = parse_range_constraint(false);
        } else if (word == "OCTET") {
            expect_word("STRING");
            type->kind = TypeKind::OctetString;
        } else if (word == "OBJECT") {
            expect_word("IDENTIFIER");
            type->kind = TypeKind::ObjectIdentifier;
        } else if (word == "IA5String") {
            type->kind = TypeKind::IA5String;
            if (at_symbol('('))
                type->constraint = parse_range_constraint(true);
        } else if (word == "ENUMERATED") {
            type->kind = TypeKind::Enumerated;
            parse_enumerators(*type);
        } else if (word == "SEQUENCE" || word == "SET") {
            if (at_word("OF")) {
                advance();
                type->kind = word == "SET" ? TypeKind::SetOf : TypeKind::SequenceOf;
                type->element = parse_type();
            } else if (word == "SEQUENCE") {
                type->kind = TypeKind::Sequence;
                parse_components(*type, true);
            } else {
                fail("expected OF after SET");
            }
        } else if (word == "CHOICE") {
            type->kind = TypeKind::Choice;
            parse_components(*type, false);
        } else if (is_type_reference(word)) {
            type->kind = TypeKind::Reference;
            type->reference = word;
        } else {
            throw SourceError(type->where, "unknown or unsupported type " + word);
        }
        return type;
    }

    // "(lower..upper)" for INTEGER, "(SIZE (lower..upper))" for strings.
    Range parse_range_constraint(bool size)
    {
        const SourceLocation where = token_.where;
        expect_symbol('(');
        if (size) {
            expect_word("SIZE");
            expect_symbol('(');
        }
        Range range;
        range.lower = take_signed_number();
        expect(Token::range, "'..'");
        range.upper = take_signed_number();
        expect_symbol(')');
        if (size)
            expect_symbol(')');
        if (range.lower > range.upper)
            throw SourceError(where, "empty range");
        if (size && range.lower < 0)
            throw SourceError(where, "negative size");
        if (range.upper - range.lower > 0xffffffffLL)
            throw SourceError(where, "range wider than 32 bits");
        return range;
    }

    // SEQUENCE fields (with OPTIONAL) or CHOICE alternatives; one extension marker, before the
    // additions or at the end.
    void parse_components(Type& type, bool sequence)
    {
        expect_symbol('{');
        std::set<std::string> names;
        while (!at_symbol('}')) {
            if (!type.components.empty() || type.extensible)
                expect_symbol(',');
            if (token_.kind == Token::ellipsis) {
                if (type.extensible)
                    fail("a second extension marker is not supported");
                type.extensible = true;
                type.root_count = type.components.size();
                advance();
                continue;
            }
            Component& c = type.components.emplace_back();
            c.where = token_.where;
            c.name = take_identifier(sequence ? "a field name" : "an alternative name");
            if (!names.insert(c.name).second)
                throw SourceError(c.where, c.name + " is named twice");
            c.type = parse_type();
            if (sequence && at_word("OPTIONAL")) {
                c.optional = true;
                advance();
            }
        }
        if (type.components.empty() && !sequence)
            fail("expected an alternative");
        advance();
        if (!type.extensible)
            type.root_count = type.components.size();
    }

    // A name without a number takes the previous value plus one (0 for the first).
    void parse_enumerators(Type& type)
    {
        expect_symbol('{');
        std::set<std::string> names;
        while (!at_symbol('}')) {
            if (!type.enumerators.empty() || type.extensible)
                expect_symbol(',');
            if (token_.kind == Token::ellipsis) {
                if (type.extensible || type.enumerators.empty())
                    fail("expected an enumerator");
                type.extensible = true;
                advance();
                continue;
            }
            if (type.extensible)
                fail("expected '}': enumerators after the extension marker are not supported");
            const SourceLocation where = token_.where;
            Enumerator& e = type.enumerators.emplace_back();
            e.name = take_identifier("an enumerator name");
            if (!names.insert(e.name).second)
                throw SourceError(where, e.name + " is named twice");
            if (at_symbol('(')) {
                advance();
                e.value = take_signed_number();
                expect_symbol(')');
            } else {
                e.value = type.enumerators.size() == 1 ? 0 : type.enumerators[type.enumerators.size() - 2].value + 1;
            }
            if (e.value < INT32_MIN || e.value > INT32_MAX)
                throw SourceError(where, "the value of " + e.name + " does not fit 32 bits");
        }
        advance();
        if (type.enumerators.empty())
            throw SourceError(type.where, "ENUMERATED without enumerators");
    }

    Schema& schema_;
    Lexer lexer_;
    Token token_;
};

}  // namespace

void parse_modules(Schema& schema, const std::string& text, const std::string& file)
{
    Parser(schema, text, file).parse_all();
}

void parse_file(Schema& schema, const std::string& path)
{
    parse_modules(schema, read_file(path), path);
}

}  // namespace asn1gen
