#pragma once

// Lengths of BER encodings, as the BER writer produces them (definite form only).

#include "asn1/runtime/abstract_data.h"

namespace ASN1 {

// Content octets of a two's-complement INTEGER or ENUMERATED value: 1 to 4, the fewest that
// hold the value with its sign.
unsigned getIntegerDataLength(int value);
// Content octets of the value's encoding.
unsigned getDataLength(const AbstractData& value);
// Octets of the value's whole encoding under tag (ber::OwnTag for its descriptor tag): the
// content alone for the tag 0, else identifier, length and content octets.
unsigned getObjectLength(const AbstractData& value, unsigned tag);

}  // namespace ASN1
