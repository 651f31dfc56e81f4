#include "asn1/gen/schema.h"

#include <algorithm>
#include <set>

namespace asn1gen {

SourceError::SourceError(const SourceLocation& where, const std::string& message)
    : std::runtime_error(where.file + ":" + std::to_string(where.line) + ": " + message)
{
}

std::int64_t Type::max_enum_value() const
{
    std::int64_t max = enumerators.empty() ? 0 : enumerators.front().value;
    for (const Enumerator& e : enumerators)
        max = std::max(max, e.value);
    return max;
}

bool Type::enum_values_sequential() const
{
    for (std::size_t i = 0; i < enumerators.size(); ++i) {
        if (enumerators[i].value != static_cast<std::int64_t>(i))
            return false;
    }
    return true;
}

std::string Type::names_table_entry(std::size_t index) const
{
    const Enumerator& e = enumerators.at(index);
    const std::int64_t implied = index == 0 ? 0 : enumerators[index - 1].value + 1;
    if (e.value == implied)
        return e.name;
    return e.name + "=" + std::to_string(e.value);
}

const Assignment* Module::find(const std::string& name) const
{
    for (const Assignment& a : assignments) {
        if (a.name == name)
            return &a;
    }
    return nullptr;
}

Module& Schema::add_module(const std::string& name, const SourceLocation& where)
{
    if (find_module(name))
        throw SourceError(where, "module " + name + " is defined twice");
    Module& module = modules_.emplace_back();
    module.name = name;
    module.where = where;
    return module;
}

const Module* Schema::find_module(const std::string& name) const
{
    for (const Module& m : modules_) {
        if (m.name == name)
            return &m;
    }
    return nullptr;
}

const Assignment* Schema::find_qualified(const std::string& qualified) const
{
    const std::size_t colons = qualified.find("::");
    if (colons == std::string::npos)
        return nullptr;
    const Module* module = find_module(qualified.substr(0, colons));
    return module ? module->find(qualified.substr(colons + 2)) : nullptr;
}

void Schema::resolve()
{
    for (Module& module : modules_) {
        std::set<std::string> names;
        for (Assignment& a : module.assignments) {
            a.module = &module;
            if (!names.insert(a.name).second)
                throw SourceError(a.where, "type " + a.name + " is defined twice in module " + module.name);
        }
        for (const Import& import : module.imports) {
            const Module* from = find_module(import.module);
            if (!from)
                throw SourceError(import.where, "import from unknown module " + import.module);
            for (const std::string& name : import.names) {
                if (!from->find(name))
                    throw SourceError(import.where, "module " + import.module + " does not define " + name);
                if (!names.insert(name).second)
                    throw SourceError(import.where, name + " is both defined and imported, or imported twice");
            }
        }
    }
    for (Module& module : modules_) {
        for (Assignment& a : module.assignments)
            resolve_type(module, *a.type);
    }
    for (const Module& module : modules_) {
        for (const Assignment& a : module.assignments)
            check_alias_chain(a);
    }
}

void Schema::resolve_type(const Module& module, Type& type)
{
    switch (type.kind) {
    case TypeKind::Reference:
        type.target = lookup(module, type.reference, type.where);
        break;
    case TypeKind::Sequence:
    case TypeKind::Choice:
        for (Component& c : type.components)
            resolve_type(module, *c.type);
        break;
    case TypeKind::SequenceOf:
    case TypeKind::SetOf:
        resolve_type(module, *type.element);
        break;
    default:
        break;
    }
}

const Assignment* Schema::lookup(const Module& module, const std::string& name, const SourceLocation& where) const
{
    if (const Assignment* own = module.find(name))
        return own;
    for (const Import& import : module.imports) {
        if (std::find(import.names.begin(), import.names.end(), name) != import.names.end())
            return find_module(import.module)->find(name);
    }
    throw SourceError(where, "unknown type " + name + " in module " + module.name);
}

// "A ::= B" and "B ::= A" name no type at all; every chain of plain references must end in a
// type written out.
void Schema::check_alias_chain(const Assignment& start) const
{
    std::set<const Assignment*> seen{&start};
    const Type* type = start.type.get();
    while (type->kind == TypeKind::Reference) {
        if (!seen.insert(type->target).second)
            throw SourceError(start.where, "type " + start.name + " is defined only through itself");
        type = type->target->type.get();
    }
}

const Type& dereference(const Type& type)
{
    const Type* t = &type;
    while (t->kind == TypeKind::Reference)
        t = t->target->type.get();
    return *t;
}

}  // namespace asn1gen
