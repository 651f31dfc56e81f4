#pragma once

// Writes the PER coding of the generated SEQUENCE and CHOICE classes: per type a decoding and an
// encoding function with the type's constraints, presence bits, alternatives and extension marker
// written in, which the type's descriptor hands to the PER coders (perDecode, perEncode). They read
// and write exactly what the coders' visitor walk reads and writes for the type; what they do not
// write out themselves (lists, most strings, extension additions and alternatives) they leave to
// the coders.

#include "asn1/gen/schema.h"
#include "asn1/gen/type_catalogue.h"

#include <ostream>

namespace asn1gen {

// Whether a type gets the functions: a SEQUENCE whose extension bit and presence bits fit one read
// of 32 bits, a CHOICE with root alternatives.
bool has_per_code(const Type& type);

// The definitions of perDecode and perEncode of the class of a type with has_per_code.
void write_per_code(std::ostream& out, const ClassInfo& info, const TypeCatalogue& catalogue);

}  // namespace asn1gen
