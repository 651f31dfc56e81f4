#pragma once

// What the PER encoder and decoder must agree on beyond the building blocks: the limits of the
// decoder (which the encoder keeps too, so it never writes what a peer refuses), the bounds of the
// unbounded length form, and the layout rules of character strings.

#include "asn1/runtime/abstract_string.h"

#include <algorithm>
#include <cstdint>

namespace ASN1 {

// Elements of one SEQUENCE OF, and bits of one extension-addition bitmap.
inline unsigned MaximumArraySize = 128;
// Octets of an OCTET STRING, characters of a character string, bits of a BIT STRING.
inline unsigned MaximumStringSize = 16384;

namespace per {

// The upper bound that selects the unbounded length form in both variants.
constexpr unsigned UnboundedLength = 0x7fffffff;
// The unbounded form has no fragments: a length needs at most 14 bits.
constexpr unsigned FragmentSize = 16384;

// Whether a known-multiplier string of c bits per character is a block (aligned, or raw octets
// when c is 8) rather than a short bit-field.
inline bool stringIsBlock(const ConstrainedObject::InfoType& type, unsigned c)
{
    return type.type == Unconstrained || std::uint64_t(type.upperLimit) * c >= 17;
}

// Whether the characters travel as their own codes rather than as indexes into the set.
inline bool charactersAsCodes(const AbstractString::InfoType& type, unsigned c)
{
    return type.charSetIndexBits > 4 && type.charSetIndexBits <= c;
}

// The index of ch in the permitted set (kept in code order); false when ch is not permitted.
inline bool characterIndex(const AbstractString::InfoType& type, unsigned char ch, unsigned& index)
{
    const auto* first = reinterpret_cast<const unsigned char*>(type.characterSet);
    const auto* last = first + type.characterSetSize;
    const auto* found = std::lower_bound(first, last, ch);
    if (found == last || *found != ch)
        return false;
    index = static_cast<unsigned>(found - first);
    return true;
}

}  // namespace per

}  // namespace ASN1
