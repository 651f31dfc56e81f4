#pragma once

// Tags of the BER coder. A tag is one 32-bit word: the class in bits 22 and 23 (0 universal,
// 1 application, 2 context-specific, 3 private) and the number in the low bits, so a descriptor's
// `tag` is a universal tag word. Generated descriptors carry no tag tables, so components are
// tagged automatically: field i of a SEQUENCE with the context tag i and alternative k of a CHOICE
// with the context tag k, replacing the component's own tag (a CHOICE or open type so tagged is
// wrapped in the tag instead).

#include "asn1/runtime/choice.h"
#include "asn1/runtime/sequence.h"

namespace ASN1::ber {

// The writer's pending tag that stands for the value's own descriptor tag. The tag 0 means no
// header at all (an untagged CHOICE or open type).
constexpr unsigned OwnTag = 0xffffffffu;
// Tag numbers above this are refused by the reader.
constexpr unsigned MaxTagNumber = 0xffff;

constexpr unsigned contextTag(unsigned number) { return (2u << 22) | number; }
constexpr unsigned tagClass(unsigned tag) { return (tag >> 22) & 3; }
constexpr unsigned tagNumber(unsigned tag) { return tag & 0x3fffff; }

// The tag of field `index`: the context tag index without a fieldTags table, the field type's own
// tag for SEQUENCE::defaultTag, otherwise the table's word.
unsigned fieldTag(const SEQUENCE::InfoType& info, unsigned index);
// The tag of alternative `index`: the context tag index without a selectionTags table, otherwise
// the table's word.
unsigned alternativeTag(const CHOICE::InfoType& info, unsigned index);

// Octets of the identifier of tag and of the length field of a content of length octets, as the
// writer puts them: one identifier octet for a number up to 30, else one plus the number's
// base-128 octets; one length octet below 128, else one plus the fewest octets holding length.
unsigned identifierOctets(unsigned tag);
unsigned lengthOctets(unsigned length);

}  // namespace ASN1::ber
