#pragma once

// How the types and names of the modules are spelled in the generated C++.

#include "asn1/gen/schema.h"
#include "asn1/gen/type_catalogue.h"

#include <set>
#include <string>
#include <vector>

namespace asn1gen {

// How a SEQUENCE field's set_ member takes its value.
enum class SetterKind {
    none,       // NULL: nothing to store
    integer,    // int, through setValue
    unsigned_,  // unsigned int, stored unchecked into a constrained integer
    boolean,    // bool, through setValue
    named,      // the ENUMERATED's NamedNumber, through setValue
    text,       // a string, through setValue
    octets,     // the octets, into getValue()
    arcs,       // the object identifier's arcs, into getValue()
    whole,      // a whole value of the field's class, assigned
};

class CppNaming {
public:
    explicit CppNaming(const TypeCatalogue& catalogue) : catalogue_(catalogue) {}

    // The C++ type of a value of the type: a runtime class ("ASN1::INTEGER"), a template
    // instance ("ASN1::SEQUENCE_OF<LGCP::HdlcPackage>") or a generated class ("TERM::HostAddress").
    std::string value_type(const Type& type) const;
    SetterKind setter_kind(const Type& type) const;
    // The parameter of a set_ member for that kind ("int", "const TERM::HostAddress&").
    std::string setter_parameter(const Type& type) const;

private:
    const TypeCatalogue& catalogue_;
};

// An ASN.1 name as a member or enumerator name: "-" becomes "_", and a name that is a C++
// keyword or would hide a member of the runtime base class (reserved) gets a trailing "_".
std::string member_identifier(const std::string& asn1_name, const std::set<std::string>& reserved);

// Per component of a SEQUENCE, the id of its presence bit: 0, 1, ... for the optional root
// fields, numOptionalFields + k for extension addition k, and -1 for a mandatory root field.
std::vector<int> presence_ids(const Type& type);

// Names that a generated enumeration constant or nested type must not take, per base class.
const std::set<std::string>& reserved_in_choice();
const std::set<std::string>& reserved_in_enumerated();

}  // namespace asn1gen
