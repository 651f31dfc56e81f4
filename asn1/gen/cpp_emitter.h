#pragma once

// Writes the C++ classes of one module: a header "asn1/modules/<Module>.h" declaring every class
// of the module in namespace <Module>, and the static tables and descriptors in one or more
// source files, so that a large module compiles in parallel.
//
// Per class kind:
//   ENUMERATED  class T : ASN1::ENUMERATED, nested enum NamedNumber (one constant per name), the
//               names table T_enum_names__ at namespace level.
//   SEQUENCE    class T : ASN1::SEQUENCE, tables fieldInfos, fieldIds, fieldNames, and per field
//               get_<field> (const and non-const) and set_<field> ("-" in the name written "_").
//               For an optional field or extension addition the non-const get_ and set_ include
//               the field, and the const get_ of an absent one reads a default value.
//   CHOICE      class T : ASN1::CHOICE, enum Choice of the alternative indexes, tables
//               selectionInfos, selectionNames, and per alternative get_<alt> (the held value, or
//               null unless that alternative is selected) and select_<alt> (selects a new default
//               value and returns it).
//   sized IA5String written in field f of T: the nested class T::f::value_type.
// Enumeration and index constants are class members, never macros or free names, so names such
// as read, close or major cannot collide with the C library; a constant that is a C++ keyword or
// would hide a member of the runtime base class gets a trailing "_" (TERM::TermSignal::info_).

#include "asn1/gen/schema.h"
#include "asn1/gen/type_catalogue.h"

#include <string>
#include <vector>

namespace asn1gen {

struct CppModule {
    std::string header;
    std::vector<std::string> sources;
};

// parts: the number of source files, at least 1; the classes are spread evenly over them.
// Throws SourceError for what C++ cannot hold: types that contain themselves, or two members
// that would get one name.
CppModule emit_cpp_module(const Module& module, const TypeCatalogue& catalogue, unsigned parts);

}  // namespace asn1gen
