#include "asn1/gen/asn1_export.h"

namespace asn1gen {

namespace {

// Standard identifiers never hold two hyphens in a row and never end with one.
std::string checked_name(const std::string& name, const SourceLocation& where)
{
    std::string standard = standard_name(name);
    if (standard.find("--") != std::string::npos || standard.back() == '-')
        throw SourceError(where, "name " + name + " has no standard spelling");
    return standard;
}

std::string range_text(const Range& range)
{
    return std::to_string(range.lower) + ".." + std::to_string(range.upper);
}

class ModuleWriter {
public:
    explicit ModuleWriter(std::ostream& out) : out_(out) {}

    void write(const Module& module)
    {
        out_ << "-- Written by the message generator; coded by aligned PER exactly as the gateway codes it.\n\n";
        out_ << checked_name(module.name, module.where) << " DEFINITIONS AUTOMATIC TAGS ::=\nBEGIN\n\n";
        if (!module.imports.empty()) {
            out_ << "IMPORTS\n";
            for (std::size_t i = 0; i < module.imports.size(); ++i) {
                const Import& import = module.imports[i];
                out_ << "  ";
                for (std::size_t n = 0; n < import.names.size(); ++n)
                    out_ << (n ? ", " : "") << checked_name(import.names[n], import.where);
                out_ << " FROM " << checked_name(import.module, import.where)
                     << (i + 1 == module.imports.size() ? ";\n\n" : "\n");
            }
        }
        for (const Assignment& a : module.assignments) {
            out_ << checked_name(a.name, a.where) << " ::= ";
            write_type(*a.type, 0);
            out_ << "\n\n";
        }
        out_ << "END\n";
    }

private:
    void indent(int depth) { out_ << std::string(2 * depth, ' '); }

    void write_type(const Type& type, int depth)
    {
        switch (type.kind) {
        case TypeKind::Boolean:
            out_ << "BOOLEAN";
            break;
        case TypeKind::Null:
            out_ << "NULL";
            break;
        case TypeKind::Integer:
            out_ << "INTEGER";
            if (type.constraint)
                out_ << " (" << range_text(*type.constraint) << ")";
            break;
        case TypeKind::OctetString:
            out_ << "OCTET STRING";
            break;
        case TypeKind::ObjectIdentifier:
            out_ << "OBJECT IDENTIFIER";
            break;
        case TypeKind::IA5String:
            out_ << "IA5String";
            if (type.constraint)
                out_ << " (SIZE (" << range_text(*type.constraint) << "))";
            break;
        case TypeKind::Enumerated:
            write_enumerated(type, depth);
            break;
        case TypeKind::Sequence:
        case TypeKind::Choice:
            out_ << (type.kind == TypeKind::Sequence ? "SEQUENCE {" : "CHOICE {");
            write_components(type, depth + 1);
            out_ << '\n';
            indent(depth);
            out_ << '}';
            break;
        case TypeKind::SequenceOf:
        case TypeKind::SetOf:
            out_ << (type.kind == TypeKind::SequenceOf ? "SEQUENCE OF " : "SET OF ");
            write_type(*type.element, depth);
            break;
        case TypeKind::Reference:
            out_ << checked_name(type.reference, type.where);
            break;
        }
    }

    void write_enumerated(const Type& type, int depth)
    {
        if (!type.enum_values_sequential()) {
            if (type.max_enum_value() < 0)
                throw SourceError(type.where, "ENUMERATED without a value that can be coded");
            out_ << "INTEGER (0.." << type.max_enum_value() << (type.extensible ? ", ...)" : ")");
            return;
        }
        out_ << "ENUMERATED {";
        for (std::size_t i = 0; i < type.enumerators.size(); ++i) {
            out_ << (i ? ",\n" : "\n");
            indent(depth + 1);
            out_ << checked_name(type.enumerators[i].name, type.where);
        }
        if (type.extensible) {
            out_ << ",\n";
            indent(depth + 1);
            out_ << "...";
        }
        out_ << '\n';
        indent(depth);
        out_ << '}';
    }

    void write_components(const Type& type, int depth)
    {
        bool first = true;
        auto separate = [&] {
            out_ << (first ? "\n" : ",\n");
            first = false;
            indent(depth);
        };
        for (std::size_t i = 0; i <= type.components.size(); ++i) {
            if (type.extensible && i == type.root_count) {
                separate();
                out_ << "...";
            }
            if (i == type.components.size())
                break;
            const Component& c = type.components[i];
            separate();
            out_ << checked_name(c.name, c.where) << ' ';
            write_type(*c.type, depth);
            if (c.optional)
                out_ << " OPTIONAL";
        }
    }

    std::ostream& out_;
};

}  // namespace

std::string standard_name(const std::string& name)
{
    std::string standard = name;
    for (char& c : standard) {
        if (c == '_')
            c = '-';
    }
    return standard;
}

void write_standard_module(std::ostream& out, const Module& module)
{
    ModuleWriter(out).write(module);
}

}  // namespace asn1gen
