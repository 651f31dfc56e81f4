#pragma once

// Writes the type directory "asn1/modules/type_directory.h": one entry per generated class with
// its descriptor and where the class sits in the plain-ASN.1 export, so that a tool can walk every
// message type and name each one as a standard ASN.1 compiler does (the Erlang cross-check).
//
// An entry's export path is the name of the type assignment the class is written in, followed by
// every field or alternative on the way to the class and by SEQOF or SETOF for a list element, all
// in standard spelling and joined by "_": "DTMFParams_threshold", "MixerResources_SEQOF",
// "RtpParams_dname". That is the record name standard compilers give a type written inline; for a
// type assignment it is the type's own name.

#include "asn1/gen/schema.h"
#include "asn1/gen/type_catalogue.h"

#include <string>

namespace asn1gen {

// The header text. Throws std::logic_error when the walk misses a class of the catalogue.
std::string emit_type_directory(const Schema& schema, const TypeCatalogue& catalogue);

}  // namespace asn1gen
