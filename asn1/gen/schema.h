#pragma once

// In-memory model of the message modules as the generator reads them: modules of type
// assignments, each type a tree of built-in types, constructed types and references.
//
// The dialect is plain ASN.1 with two liberties: "_" may appear inside identifiers, and the
// enumerators of an ENUMERATED may carry sparse, negative or repeated numbers. An enumerator
// without a number has the previous enumerator's value plus one (0 for the first), and the
// coders code the value itself, so the numbers are part of the wire format.

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace asn1gen {

struct SourceLocation {
    std::string file;
    int line = 0;
};

// A fault in the module text, reported as "file:line: message".
class SourceError : public std::runtime_error {
public:
    SourceError(const SourceLocation& where, const std::string& message);
};

struct Type;
struct Assignment;
struct Module;
using TypePtr = std::unique_ptr<Type>;

// A field of a SEQUENCE or an alternative of a CHOICE.
struct Component {
    std::string name;
    TypePtr type;
    bool optional = false;
    SourceLocation where;
};

struct Enumerator {
    std::string name;
    std::int64_t value = 0;
};

struct Range {
    std::int64_t lower = 0;
    std::int64_t upper = 0;
};

enum class TypeKind {
    Boolean,
    Integer,
    Null,
    OctetString,
    ObjectIdentifier,
    IA5String,
    Enumerated,
    Sequence,
    Choice,
    SequenceOf,
    SetOf,
    Reference,
};

struct Type {
    TypeKind kind = TypeKind::Null;
    SourceLocation where;
    // INTEGER: the value range; IA5String: the SIZE range.
    std::optional<Range> constraint;
    // SEQUENCE, CHOICE and ENUMERATED: the type has an extension marker.
    bool extensible = false;
    // SEQUENCE fields or CHOICE alternatives: the root ones first, then the extension additions.
    std::vector<Component> components;
    std::size_t root_count = 0;
    // ENUMERATED: the enumerators in declaration order (all in the root).
    std::vector<Enumerator> enumerators;
    // SEQUENCE OF, SET OF: the element type.
    TypePtr element;
    // Reference: the name as written, and the assignment it names once the schema is resolved.
    std::string reference;
    const Assignment* target = nullptr;

    // The largest enumerator value (the top of the coded range).
    std::int64_t max_enum_value() const;
    // Whether the values are exactly 0, 1, ..., n-1 in declaration order, as plain ASN.1 numbers them.
    bool enum_values_sequential() const;
    // The enumerator's entry of the names table: "name", or "name=N" where N is not the previous
    // value plus one (for the first enumerator: where N is not 0).
    std::string names_table_entry(std::size_t index) const;
};

struct Assignment {
    std::string name;
    TypePtr type;
    SourceLocation where;
    const Module* module = nullptr;
};

struct Import {
    std::string module;
    std::vector<std::string> names;
    SourceLocation where;
};

struct Module {
    std::string name;
    SourceLocation where;
    std::vector<Import> imports;
    std::deque<Assignment> assignments;

    const Assignment* find(const std::string& name) const;
};

// All modules read for one run. Modules and assignments keep their addresses once added.
class Schema {
public:
    Module& add_module(const std::string& name, const SourceLocation& where);

    // Links every reference to the assignment it names, through the module's own assignments
    // and its imports, and rejects unknown or ambiguous names and references that only name
    // each other. Must run once, after all modules are added.
    void resolve();

    const std::deque<Module>& modules() const { return modules_; }
    const Module* find_module(const std::string& name) const;
    // "Module::Type" to its assignment, or null.
    const Assignment* find_qualified(const std::string& qualified) const;

private:
    void resolve_type(const Module& module, Type& type);
    const Assignment* lookup(const Module& module, const std::string& name, const SourceLocation& where) const;
    void check_alias_chain(const Assignment& start) const;

    std::deque<Module> modules_;
};

// The type an assignment stands for once references to other assignments are followed.
const Type& dereference(const Type& type);

}  // namespace asn1gen
