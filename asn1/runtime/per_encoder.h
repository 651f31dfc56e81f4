#pragma once

// The packed encoding rules, writing side: appends the encoding of a value tree to an octet
// vector, bits packed straight into the vector. Aligned by default (what both controller-facing
// links use); the unaligned variant is selected at construction.
//
// The building blocks follow X.691 with this system's departures, which the decoder shares:
// ENUMERATEDs are coded by value, one- and two-octet OCTET STRINGs and BIT STRINGs of at most 16
// bits are never aligned, INTEGERs outside their constrained form carry their own two's-complement
// value, octet blocks start on an octet boundary in both variants, and there is no fragmentation.
// A visit returns false for a value the encoding cannot carry; the octets written by then are
// meaningless and the caller drops them.

#include "asn1/runtime/const_visitor.h"

#include <cstdint>
#include <vector>

namespace ASN1 {

class BitMap;
class ConstrainedObject;

class PEREncoder : public ConstVisitor {
public:
    // Appends to out, which the encoder does not own; the first bit opens a new octet.
    explicit PEREncoder(std::vector<char>& out, bool aligned = true) : out_(out), aligned_(aligned) {}

    void encodeSingleBit(bool bit);
    // The low n bits of value, most significant first (n up to 32; 0 writes nothing).
    void encodeMultiBit(unsigned value, unsigned n)
    {
        // Most fields fit in the free bits of the last octet.
        if (bitOffset_ != 8 && n < bitOffset_) {
            bitOffset_ = static_cast<std::uint16_t>(bitOffset_ - n);
            out_.back() = static_cast<char>(out_.back() | (value & ((1u << n) - 1)) << bitOffset_);
            return;
        }
        encodeBits(value, n);
    }
    // Aligns, then one octet.
    void encodeByte(unsigned value);
    // Nothing for n = 0; otherwise aligns and appends the octets.
    void encodeBlock(const char* data, unsigned n);
    // nbits bits of the map, most significant first, without alignment (bits beyond it are 0).
    void encodeBitMap(const BitMap& bits, unsigned nbits);
    // Starts the next bit on a new octet.
    void byteAlign() { bitOffset_ = 8; }

    // Constrained whole number; false when value is outside [lower, upper] (unsigned).
    bool encodeUnsigned(unsigned value, unsigned lower, unsigned upper);
    // Length determinant; false when n is outside [lower, upper] or needs fragments.
    bool encodeLength(unsigned n, unsigned lower, unsigned upper);
    // Normally small non-negative whole number.
    void encodeSmallUnsigned(unsigned value);
    // Writes the extension bit of an extendable constraint; true when v must go in the
    // unconstrained form (always for an unconstrained or lower-bound-only type).
    bool encodeConstraint(const ConstrainedObject& object, unsigned v);
    // The length n of a sized type under its size constraint.
    bool encodeConstrainedLength(const ConstrainedObject& object, unsigned n);
    // An open type: the value encoded by a fresh aligned encoder, wrapped in a length.
    bool encodeAnyType(const AbstractData* value);

protected:
    bool do_visit(const Null& value) override;
    bool do_visit(const BOOLEAN& value) override;
    bool do_visit(const INTEGER& value) override;
    bool do_visit(const ENUMERATED& value) override;
    bool do_visit(const OBJECT_IDENTIFIER& value) override;
    bool do_visit(const BIT_STRING& value) override;
    bool do_visit(const OCTET_STRING& value) override;
    bool do_visit(const AbstractString& value) override;
    bool do_visit(const BMPString& value) override;
    bool do_visit(const CHOICE& value) override;
    bool do_visit(const OpenData& value) override;
    bool do_visit(const GeneralizedTime& value) override;
    bool do_visit(const SEQUENCE_OF_Base& value) override;

    bool preVisitExtensionRoots(const SEQUENCE& seq) override;
    bool visitExtensionRoot(const SEQUENCE& seq, int index) override;
    bool preVisitExtensions(const SEQUENCE& seq) override;
    bool visitKnownExtension(const SEQUENCE& seq, int index) override;

private:
    // encodeMultiBit of a field that fills the last octet or goes beyond it.
    void encodeBits(unsigned value, unsigned n);
    // offset = value - lower in a range of `range` values (0 standing for 2^32).
    void encodeWholeNumber(unsigned offset, unsigned range);
    // Length, then the value's shortest two's-complement octets.
    void encodeUnconstrainedInteger(int value);
    // The contents of an open type: length and octets; an empty one becomes the octet 0.
    bool encodeOpenOctets(const std::vector<char>& octets);

    std::vector<char>& out_;
    // Free bits left in the last octet of out_; 8 means the next bit opens a new octet.
    std::uint16_t bitOffset_ = 8;
    bool aligned_;
};

}  // namespace ASN1
