#pragma once

// What the PER encoder and decoder must agree on beyond the building blocks: the limits of the
// decoder (which the encoder keeps too, so it never writes what a peer refuses), the bounds of the
// unbounded length form, and the layout rules of character strings.

#include "asn1/runtime/abstract_string.h"

#include <algorithm>
#include <cstdint>
#include <string>

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

// The permitted characters of a string type, kept in code order. Most sets (IA5String, VisibleString,
// GeneralString) are one run of consecutive codes, where an index is a subtraction; the others are
// searched.
class CharacterSet {
public:
    explicit CharacterSet(const AbstractString::InfoType& type)
        : first_(reinterpret_cast<const unsigned char*>(type.characterSet)), size_(type.characterSetSize),
          run_(size_ > 0 && first_[size_ - 1] - first_[0] + 1u == size_)
    {
    }

    // Whether every character of the text is permitted.
    bool allOf(const std::string& text) const
    {
        unsigned index = 0;
        if (!run_)
            return std::all_of(text.begin(), text.end(),
                               [&](char ch) { return indexOf(static_cast<unsigned char>(ch), index); });
        bool outside = false;
        for (char ch : text)
            outside |= static_cast<unsigned>(static_cast<unsigned char>(ch) - first_[0]) >= size_;
        return !outside;
    }

    // The index of ch in the set; false when ch is not permitted.
    bool indexOf(unsigned char ch, unsigned& index) const
    {
        if (run_) {
            index = ch - first_[0];
            return index < size_;
        }
        const unsigned char* last = first_ + size_;
        const unsigned char* found = std::lower_bound(first_, last, ch);
        index = static_cast<unsigned>(found - first_);
        return found != last && *found == ch;
    }

private:
    const unsigned char* first_;
    unsigned size_;
    bool run_;
};

}  // namespace per

}  // namespace ASN1
