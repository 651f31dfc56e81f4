#pragma once

// The generated classes of a resolved schema: one per SEQUENCE, CHOICE and ENUMERATED type
// and per string type with a size constraint, wherever the type is written. Lists, integers
// and the other primitives are instances of the runtime's templates and classes, not classes
// of their own.
//
// Names, inside the module's namespace:
//   a type assignment                          its name                       Message
//   a type written inline in field f of C      C_f                            DTMFParams_threshold
//   a sized string written in field f of C     C::f::value_type               RtpParams::dname::value_type
//   an element type written inline in list L   L_subtype                      MixerResources_subtype
// where "-" in a field name becomes "_".

#include "asn1/gen/schema.h"

#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace asn1gen {

struct ClassInfo {
    const Type* type = nullptr;
    const Module* module = nullptr;
    // The name inside the module's namespace.
    std::string name;

    std::string qualified() const { return module->name + "::" + name; }
};

// Whether a type node is written as a class of its own.
bool makes_class(const Type& type);

// A field, alternative or enumerator name as a C++ identifier: "-" becomes "_".
std::string cpp_identifier(const std::string& asn1_name);

class TypeCatalogue {
public:
    // Throws SourceError when two types of one module would get the same class name.
    explicit TypeCatalogue(const Schema& schema);

    // Every class, module by module in schema order, each in the order its type is written
    // (an outer type before the types written inside it).
    const std::vector<ClassInfo>& classes() const { return classes_; }
    // The class a type node makes, or null.
    const ClassInfo* class_of(const Type& type) const;
    // The class that a type stands for: its own, or that of the assignment a reference leads to.
    const ClassInfo* class_for(const Type& type) const;
    // Every class that a value of root may contain, root included, in order of discovery.
    std::vector<const ClassInfo*> closure(const ClassInfo& root) const;

private:
    void add(const Module& module, const Type& type, const std::string& name);
    void add_inner(const Module& module, const Type& type, const std::string& name);
    void add_list_element(const Module& module, const Type& list, const std::string& list_name);

    std::vector<ClassInfo> classes_;
    std::map<const Type*, std::size_t> index_;
};

// The self-check report: classes per module and in all, then for each root ("LGCP::Message")
// the classes it reaches, per module. Throws std::runtime_error for an unknown root.
void write_type_report(std::ostream& out, const Schema& schema, const TypeCatalogue& catalogue,
    const std::vector<std::string>& roots);

}  // namespace asn1gen
