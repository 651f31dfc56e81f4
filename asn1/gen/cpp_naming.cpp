#include "asn1/gen/cpp_naming.h"

#include <stdexcept>

namespace asn1gen {

namespace {

const std::set<std::string> cpp_keywords = {"alignas", "alignof", "and", "and_eq", "asm", "auto", "bitand", "bitor",
    "bool", "break", "case", "catch", "char", "char16_t", "char32_t", "class", "compl", "const", "constexpr",
    "const_cast", "continue", "decltype", "default", "delete", "do", "double", "dynamic_cast", "else", "enum",
    "explicit", "export", "extern", "false", "float", "for", "friend", "goto", "if", "inline", "int", "long", "mutable",
    "namespace", "new", "noexcept", "not", "not_eq", "nullptr", "operator", "or", "or_eq", "private", "protected",
    "public", "register", "reinterpret_cast", "return", "short", "signed", "sizeof", "static", "static_assert",
    "static_cast", "struct", "switch", "template", "this", "thread_local", "throw", "true", "try", "typedef", "typeid",
    "typename", "union", "unsigned", "using", "virtual", "void", "volatile", "wchar_t", "while", "xor", "xor_eq"};

// Members of ASN1::AbstractData and the static tables every generated class declares.
std::set<std::string> common_members()
{
    return {"info", "compare", "clone", "accept", "print_on", "asValueNotation", "get_from", "setFromValueNotation",
        "isValid", "isStrictlyValid", "do_compare", "do_clone", "do_accept", "cloneThrough", "InfoType", "theInfo",
        "NamedNumber", "Choice", "fieldInfos", "fieldIds", "fieldNames", "selectionInfos", "selectionNames", "Plain",
        "perDecode", "perEncode", "buildComponents"};
}

std::set<std::string> with(std::set<std::string> names, std::initializer_list<const char*> more)
{
    names.insert(more.begin(), more.end());
    return names;
}

}  // namespace

const std::set<std::string>& reserved_in_choice()
{
    static const std::set<std::string> names = with(common_members(),
        {"swap", "currentSelection", "getSelection", "getSelectionAs", "setSelection", "createSelection", "knows"});
    return names;
}

const std::set<std::string>& reserved_in_enumerated()
{
    static const std::set<std::string> names =
        with(common_members(), {"getValue", "setValue", "getMaximum", "extendable", "getName", "setFromName"});
    return names;
}

std::string member_identifier(const std::string& asn1_name, const std::set<std::string>& reserved)
{
    std::string name = cpp_identifier(asn1_name);
    if (cpp_keywords.count(name) || reserved.count(name))
        name += '_';
    return name;
}

std::vector<int> presence_ids(const Type& type)
{
    std::vector<int> ids;
    int next = 0;
    for (std::size_t i = 0; i < type.root_count; ++i)
        ids.push_back(type.components[i].optional ? next++ : -1);
    for (std::size_t i = type.root_count; i < type.components.size(); ++i)
        ids.push_back(next++);
    return ids;
}

std::string CppNaming::value_type(const Type& type) const
{
    if (const ClassInfo* info = catalogue_.class_of(type))
        return info->qualified();
    switch (type.kind) {
    case TypeKind::Boolean:
        return "ASN1::BOOLEAN";
    case TypeKind::Null:
        return "ASN1::Null";
    case TypeKind::Integer:
        if (!type.constraint)
            return "ASN1::INTEGER";
        return "ASN1::Constrained_INTEGER<ASN1::FixedConstraint, " + std::to_string(type.constraint->lower) + ", " +
            std::to_string(type.constraint->upper) + "u>";
    case TypeKind::OctetString:
        return "ASN1::OCTET_STRING";
    case TypeKind::ObjectIdentifier:
        return "ASN1::OBJECT_IDENTIFIER";
    case TypeKind::IA5String:
        return "ASN1::IA5String";
    case TypeKind::SequenceOf:
        return "ASN1::SEQUENCE_OF<" + value_type(*type.element) + ">";
    case TypeKind::SetOf:
        return "ASN1::SET_OF<" + value_type(*type.element) + ">";
    case TypeKind::Reference:
        return value_type(*type.target->type);
    case TypeKind::Enumerated:
    case TypeKind::Sequence:
    case TypeKind::Choice:
        break;
    }
    throw std::logic_error("a constructed type without its class");
}

SetterKind CppNaming::setter_kind(const Type& type) const
{
    const Type& t = dereference(type);
    switch (t.kind) {
    case TypeKind::Null:
        return SetterKind::none;
    case TypeKind::Integer:
        return t.constraint ? SetterKind::unsigned_ : SetterKind::integer;
    case TypeKind::Boolean:
        return SetterKind::boolean;
    case TypeKind::Enumerated:
        return SetterKind::named;
    case TypeKind::IA5String:
        return SetterKind::text;
    case TypeKind::OctetString:
        return SetterKind::octets;
    case TypeKind::ObjectIdentifier:
        return SetterKind::arcs;
    default:
        return SetterKind::whole;
    }
}

std::string CppNaming::setter_parameter(const Type& type) const
{
    switch (setter_kind(type)) {
    case SetterKind::none:
        break;
    case SetterKind::integer:
        return "int";
    case SetterKind::unsigned_:
        return "unsigned int";
    case SetterKind::boolean:
        return "bool";
    case SetterKind::named:
        return value_type(type) + "::NamedNumber";
    case SetterKind::text:
        return "const std::string&";
    case SetterKind::octets:
        return "const std::vector<char>&";
    case SetterKind::arcs:
        return "const std::vector<unsigned>&";
    case SetterKind::whole:
        return "const " + value_type(type) + "&";
    }
    throw std::logic_error("no setter for NULL");
}

}  // namespace asn1gen
