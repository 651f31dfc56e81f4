#include "asn1/gen/type_catalogue.h"

#include <set>
#include <stdexcept>

namespace asn1gen {

bool makes_class(const Type& type)
{
    switch (type.kind) {
    case TypeKind::Sequence:
    case TypeKind::Choice:
    case TypeKind::Enumerated:
        return true;
    case TypeKind::IA5String:
        return type.constraint.has_value();
    default:
        return false;
    }
}

std::string cpp_identifier(const std::string& asn1_name)
{
    std::string name = asn1_name;
    for (char& c : name) {
        if (c == '-')
            c = '_';
    }
    return name;
}

TypeCatalogue::TypeCatalogue(const Schema& schema)
{
    for (const Module& module : schema.modules()) {
        const std::size_t first = classes_.size();
        for (const Assignment& a : module.assignments) {
            if (makes_class(*a.type))
                add(module, *a.type, a.name);
            else if (a.type->kind == TypeKind::SequenceOf || a.type->kind == TypeKind::SetOf)
                add_list_element(module, *a.type, a.name);
        }
        std::map<std::string, const ClassInfo*> names;
        for (std::size_t i = first; i < classes_.size(); ++i) {
            const auto [it, fresh] = names.emplace(classes_[i].name, &classes_[i]);
            if (!fresh) {
                throw SourceError(classes_[i].type->where,
                    "class name " + classes_[i].qualified() + " is already taken by the type at line " +
                        std::to_string(it->second->type->where.line));
            }
        }
    }
}

void TypeCatalogue::add(const Module& module, const Type& type, const std::string& name)
{
    index_[&type] = classes_.size();
    classes_.push_back(ClassInfo{&type, &module, name});
    add_inner(module, type, name);
}

void TypeCatalogue::add_inner(const Module& module, const Type& type, const std::string& name)
{
    for (const Component& c : type.components) {
        const Type& inner = *c.type;
        const std::string field = cpp_identifier(c.name);
        if (inner.kind == TypeKind::IA5String && makes_class(inner))
            add(module, inner, name + "::" + field + "::value_type");
        else if (makes_class(inner))
            add(module, inner, name + "_" + field);
        else if (inner.kind == TypeKind::SequenceOf || inner.kind == TypeKind::SetOf)
            add_list_element(module, inner, name + "_" + field);
    }
}

void TypeCatalogue::add_list_element(const Module& module, const Type& list, const std::string& list_name)
{
    const Type& element = *list.element;
    const std::string name = list_name + "_subtype";
    if (makes_class(element))
        add(module, element, name);
    else if (element.kind == TypeKind::SequenceOf || element.kind == TypeKind::SetOf)
        add_list_element(module, element, name);
}

const ClassInfo* TypeCatalogue::class_of(const Type& type) const
{
    const auto it = index_.find(&type);
    return it == index_.end() ? nullptr : &classes_[it->second];
}

const ClassInfo* TypeCatalogue::class_for(const Type& type) const
{
    return class_of(dereference(type));
}

std::vector<const ClassInfo*> TypeCatalogue::closure(const ClassInfo& root) const
{
    std::vector<const ClassInfo*> found;
    std::set<const ClassInfo*> seen;
    std::vector<const Type*> pending{root.type};
    while (!pending.empty()) {
        const Type* type = pending.back();
        pending.pop_back();
        switch (type->kind) {
        case TypeKind::Reference:
            pending.push_back(type->target->type.get());
            continue;
        case TypeKind::SequenceOf:
        case TypeKind::SetOf:
            pending.push_back(type->element.get());
            continue;
        default:
            break;
        }
        const ClassInfo* info = class_of(*type);
        if (!info || !seen.insert(info).second)
            continue;
        found.push_back(info);
        for (auto c = type->components.rbegin(); c != type->components.rend(); ++c)
            pending.push_back(c->type.get());
    }
    return found;
}

void write_type_report(std::ostream& out, const Schema& schema, const TypeCatalogue& catalogue,
    const std::vector<std::string>& roots)
{
    auto per_module = [&](const std::vector<const ClassInfo*>& classes) {
        for (const Module& module : schema.modules()) {
            std::size_t count = 0;
            for (const ClassInfo* info : classes)
                count += info->module == &module;
            if (count)
                out << "  " << module.name << ' ' << count << '\n';
        }
    };

    std::vector<const ClassInfo*> all;
    for (const ClassInfo& info : catalogue.classes())
        all.push_back(&info);
    out << "types: " << all.size() << '\n';
    per_module(all);
    for (const std::string& root : roots) {
        const Assignment* a = schema.find_qualified(root);
        const ClassInfo* info = a ? catalogue.class_of(*a->type) : nullptr;
        if (!info)
            throw std::runtime_error("unknown type " + root);
        const std::vector<const ClassInfo*> reached = catalogue.closure(*info);
        out << "reached from " << root << ": " << reached.size() << '\n';
        per_module(reached);
    }
}

}  // namespace asn1gen
