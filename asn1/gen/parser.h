#pragma once

// Reads module text into the schema. The subset read is what the message modules use:
//
//   Name DEFINITIONS AUTOMATIC TAGS ::= BEGIN
//   IMPORTS A, B FROM Other ...;
//   T ::= SEQUENCE { field Type [OPTIONAL], ..., ... }   (fields after "..." are extension additions)
//   T ::= CHOICE { alternative Type, ... }
//   T ::= ENUMERATED { name, name(N), name(-N), ... }
//   T ::= SEQUENCE OF Type | SET OF Type
//   BOOLEAN, NULL, INTEGER [(lower..upper)], OCTET STRING, OBJECT IDENTIFIER,
//   IA5String [(SIZE (lower..upper))], a type name
//   END
//
// Constructed types may be written inline wherever a type may stand.

#include "asn1/gen/lexer.h"
#include "asn1/gen/schema.h"

#include <string>

namespace asn1gen {

// Parses every module in the text into schema; throws SourceError on the first fault.
void parse_modules(Schema& schema, const std::string& text, const std::string& file);

// Reads and parses a file.
void parse_file(Schema& schema, const std::string& path);

}  // namespace asn1gen
