#include "asn1/gen/per_emitter.h"

#include "asn1/gen/cpp_naming.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace asn1gen {

namespace {

std::size_t optional_count(const Type& type)
{
    return static_cast<std::size_t>(std::count_if(type.components.begin(),
        type.components.begin() + static_cast<std::ptrdiff_t>(type.root_count),
        [](const Component& c) { return c.optional; }));
}

std::string hex_mask(unsigned bit)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%xu", bit);
    return text;
}

// The constraint arguments of an INTEGER, as its descriptor holds them.
std::string integer_constraint(const Type& type)
{
    if (!type.constraint)
        return "ASN1::Unconstrained, 0, 0xffffffffu";
    return "ASN1::FixedConstraint, " + std::to_string(type.constraint->lower) + ", " +
        std::to_string(type.constraint->upper) + "u";
}

const char* boolean_word(bool b) { return b ? "true" : "false"; }

class TypeCode {
public:
    TypeCode(const ClassInfo& info, const TypeCatalogue& catalogue)
        : info_(info), catalogue_(catalogue), naming_(catalogue)
    {
    }

    void write(std::ostream& out) const
    {
        if (info_.type->kind == TypeKind::Choice)
            write_choice(out);
        else
            write_sequence(out);
    }

private:
    void write_sequence(std::ostream& out) const
    {
        const Type& type = *info_.type;
        const std::vector<int> ids = presence_ids(type);
        const std::size_t optionals = optional_count(type);
        const std::string& c = info_.name;
        const bool empty = type.components.empty();

        out << "\nbool " << c << "::perDecode(ASN1::PERDecoder& d, ASN1::AbstractData& value)\n{\n";
        out << "    auto& v = static_cast<ASN1::SEQUENCE&>(value);\n";
        if (!empty)
            out << "    if (v.componentInfos() != fieldInfos)\n        return value.accept(d);\n";
        out << "    bool extended = false;\n    unsigned present = 0;\n";
        out << "    if (!d.openSequence(v, " << boolean_word(type.extensible) << ", " << optionals
            << ", extended, present))\n        return false;\n";
        for (std::size_t i = 0; i < type.root_count; ++i)
            decode_component(out, i, ids[i], optionals);
        out << "    return " << (type.extensible ? "!extended || d.decodeAdditions(v)" : "true") << ";\n}\n";

        out << "\nbool " << c << "::perEncode(ASN1::PEREncoder& e, const ASN1::AbstractData& value)\n{\n";
        out << "    const auto& v = static_cast<const ASN1::SEQUENCE&>(value);\n";
        if (!empty)
            out << "    if (v.componentInfos() != fieldInfos)\n        return value.accept(e);\n";
        out << "    " << (optionals ? "const unsigned present = " : "") << "e.openSequence(v, "
            << boolean_word(type.extensible) << ", " << optionals << ");\n";
        bool held = false;  // an optional component with content to write
        for (std::size_t i = 0; i < type.root_count; ++i)
            held = held || (ids[i] >= 0 && !is_null(i));
        if (held)
            out << "    const ASN1::AbstractData* c = nullptr;\n";
        for (std::size_t i = 0; i < type.root_count; ++i)
            encode_component(out, i, ids[i], optionals);
        // A type without extension marker has no additions to write.
        out << "    return " << (type.extensible ? "e.encodeAdditions(v)" : "true") << ";\n}\n";
    }

    // The root alternatives written out; an extension alternative, and an alternative held in a
    // value of another type than its descriptor's, are left to the coders.
    void write_choice(std::ostream& out) const
    {
        const Type& type = *info_.type;
        const std::string& c = info_.name;
        const std::string root = std::to_string(type.root_count);
        // Without extension marker the last root alternative is the default case.
        const auto label = [&](std::size_t i) {
            return type.extensible || i + 1 < type.root_count ? "    case " + std::to_string(i) + ":"
                                                               : std::string("    default:");
        };

        out << "\nbool " << c << "::perDecode(ASN1::PERDecoder& d, ASN1::AbstractData& value)\n{\n";
        out << "    auto& v = static_cast<ASN1::CHOICE&>(value);\n    unsigned index = 0;\n";
        out << "    const char* openTypeEnd = nullptr;\n";
        out << "    if (!d.decodeChoiceIndex(" << boolean_word(type.extensible) << ", " << root << ", "
            << type.components.size() << ", index, openTypeEnd))\n        return false;\n";
        out << "    switch (index) {\n";
        for (std::size_t i = 0; i < type.root_count; ++i) {
            const Type& t = *type.components[i].type;
            const std::string cls = naming_.value_type(t);
            out << label(i) << " {\n        ASN1::AbstractData& a = v.alternative<" << cls << ">(" << i << ");\n";
            out << "        return " << guarded("a.info()", cls, decode_call(t, "a"), "d.decode(a)") << ";\n    }\n";
        }
        if (type.extensible)
            out << "    default:\n        return d.decodeAdditionalAlternative(v, index, openTypeEnd);\n";
        out << "    }\n}\n";

        out << "\nbool " << c << "::perEncode(ASN1::PEREncoder& e, const ASN1::AbstractData& value)\n{\n";
        out << "    const auto& v = static_cast<const ASN1::CHOICE&>(value);\n";
        out << "    const ASN1::AbstractData* a = v.getSelection();\n";
        out << "    const auto index = static_cast<unsigned>(v.currentSelection());\n";
        out << "    if (!a || index >= " << root << ")\n        return value.accept(e);\n";
        out << "    e.encodeChoiceIndex(" << boolean_word(type.extensible) << ", index, " << root << ");\n";
        out << "    switch (index) {\n";
        for (std::size_t i = 0; i < type.root_count; ++i) {
            const Type& t = *type.components[i].type;
            const std::string cls = naming_.value_type(t);
            out << (i + 1 < type.root_count ? "    case " + std::to_string(i) + ":" : std::string("    default:"))
                << "\n        return " << guarded("a->info()", cls, encode_call(t, "*a"), "e.encode(*a)") << ";\n";
        }
        out << "    }\n}\n";
    }

    // The call for an alternative of class cls whose descriptor is info, taken only when that is
    // the class's own descriptor; the coder's dispatch otherwise.
    static std::string guarded(const std::string& info, const std::string& cls, const std::string& call,
        const std::string& dispatch)
    {
        if (call == dispatch)
            return call;
        const std::string test = info + " == &" + cls + "::theInfo";
        return call == "true" ? test + " || " + dispatch : test + " ? " + call + " : " + dispatch;
    }

    // The coding of component x of the field's type, decoding or encoding: a building block of the
    // coder with the type's constants, the type's own function, the coder's dispatch, or "true"
    // for a NULL. The building blocks of both coders are named alike.
    std::string coding_call(const Type& field, const std::string& x, bool decoding) const
    {
        const Type& t = dereference(field);
        const std::string block = decoding ? "d.decode" : "e.encode";
        const std::string cast = decoding ? "static_cast<ASN1::" : "static_cast<const ASN1::";
        switch (t.kind) {
        case TypeKind::Null:
            return "true";
        case TypeKind::Boolean:
            return block + "Boolean(" + cast + "BOOLEAN&>(" + x + "))";
        case TypeKind::Integer:
            return block + "Integer(" + cast + "INTEGER&>(" + x + "), " + integer_constraint(t) + ")";
        case TypeKind::Enumerated:
            return block + "Enumerated(" + cast + "ENUMERATED&>(" + x + "), " + boolean_word(t.extensible) + ", " +
                std::to_string(t.max_enum_value()) + ")";
        case TypeKind::IA5String:
            if (!t.constraint)
                return block + "IA5String(" + cast + "AbstractString&>(" + x + "))";
            break;
        case TypeKind::OctetString:
            return block + "OctetString(" + cast + "OCTET_STRING&>(" + x + "))";
        case TypeKind::Sequence:
        case TypeKind::Choice:
            if (has_per_code(t)) {
                const std::string function = decoding ? "::perDecode(d, " : "::perEncode(e, ";
                return catalogue_.class_for(field)->qualified() + function + x + ")";
            }
            break;
        default:
            break;
        }
        return block + "(" + x + ")";
    }
    std::string decode_call(const Type& field, const std::string& x) const { return coding_call(field, x, true); }
    std::string encode_call(const Type& field, const std::string& x) const { return coding_call(field, x, false); }

    bool is_null(std::size_t i) const { return dereference(*info_.type->components[i].type).kind == TypeKind::Null; }

    // An optional component (id not -1) is decoded when its presence bit is set, made first.
    void decode_component(std::ostream& out, std::size_t i, int id, std::size_t optionals) const
    {
        const Component& component = info_.type->components[i];
        const std::string index = std::to_string(i);
        out << "    // " << component.name << '\n';
        if (id < 0) {
            if (!is_null(i))
                out << "    if (!" << decode_call(*component.type, "*v.fieldAt(" + index + ")")
                    << ")\n        return false;\n";
            return;
        }
        // Kept when present again, so that a value filled again keeps what it can.
        const std::string test = "present & " + hex_mask(1u << (optionals - 1 - static_cast<std::size_t>(id)));
        const std::string made = "v.makeFieldOf<" + naming_.value_type(*component.type) + ">(" + index + ")";
        out << "    if (!(" << test << "))\n        v.dropField(" << index << ");\n";
        if (is_null(i))
            out << "    else\n        " << made << ";\n";
        else
            out << "    else if (!" << decode_call(*component.type, made) << ")\n        return false;\n";
    }

    // A present optional component that does not exist fails the encoding, as in the walk.
    void encode_component(std::ostream& out, std::size_t i, int id, std::size_t optionals) const
    {
        const Component& component = info_.type->components[i];
        const std::string index = std::to_string(i);
        out << "    // " << component.name << '\n';
        if (id < 0) {
            if (!is_null(i)) {
                out << "    if (!" << encode_call(*component.type, "*v.fieldAt(" + index + ")")
                    << ")\n        return false;\n";
            }
            return;
        }
        const std::string test = "present & " + hex_mask(1u << (optionals - 1 - static_cast<std::size_t>(id)));
        if (is_null(i)) {
            out << "    if ((" << test << ") && !v.getField(" << index << "))\n        return false;\n";
            return;
        }
        out << "    if ((" << test << ") && (!(c = v.getField(" << index << ")) || !"
            << encode_call(*component.type, "*c") << "))\n        return false;\n";
    }

    const ClassInfo& info_;
    const TypeCatalogue& catalogue_;
    CppNaming naming_;
};

}  // namespace

bool has_per_code(const Type& type)
{
    return (type.kind == TypeKind::Sequence && optional_count(type) <= 31) ||
        (type.kind == TypeKind::Choice && type.root_count > 0);
}

void write_per_code(std::ostream& out, const ClassInfo& info, const TypeCatalogue& catalogue)
{
    TypeCode(info, catalogue).write(out);
}

}  // namespace asn1gen
