#pragma once

// Writes a module as plain ASN.1 that any standard compiler takes, coding on the wire exactly
// as our PER coder does:
// - "_" in names becomes "-";
// - an ENUMERATED whose values are not 0, 1, ..., n-1 in declaration order becomes
//   INTEGER (0..max), or INTEGER (0..max, ...) when it has an extension marker: our coder codes
//   an enumerator by its value in 0..max, which plain ASN.1 does only for such an integer.

#include "asn1/gen/schema.h"

#include <ostream>
#include <string>

namespace asn1gen {

// Throws SourceError when a name cannot be written as a standard identifier.
void write_standard_module(std::ostream& out, const Module& module);

// A name with "_" replaced by "-".
std::string standard_name(const std::string& name);

}  // namespace asn1gen
