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

#include "asn1/runtime/boolean.h"
#include "asn1/runtime/const_visitor.h"
#include "asn1/runtime/enumerated.h"
#include "asn1/runtime/forced_inline.h"
#include "asn1/runtime/integer.h"
#include "asn1/runtime/octet_string.h"
#include "asn1/runtime/per_rules.h"
#include "asn1/runtime/sequence.h"
#include "asn1/runtime/utility.h"

#include <cstdint>
#include <vector>

namespace ASN1 {

class PEREncoder final : public ConstVisitor {
public:
    // Appends to out, which the encoder does not own; the first bit opens a new octet.
    explicit PEREncoder(std::vector<char>& out, bool aligned = true) : out_(out), aligned_(aligned) {}

    // Encodes value, and from then on every value below it, through the code its descriptor
    // carries (perEncode, written by the generator for its type), else through the visitor walk.
    // Either way the same octets: accept() runs the walk alone, the reference the generated code
    // keeps to.
    bool encode(const AbstractData& value)
    {
        viaCode_ = true;
        return component(value);
    }

    // The building blocks of generated code, which passes the constants of each type; the visitor
    // slots pass them from the descriptors. Those that take constants are always inlined, so that
    // the constants fold.
    // Always true, as the other blocks that may fail.
    bool encodeBoolean(const BOOLEAN& value)
    {
        encodeSingleBit(value.getValue());
        return true;
    }
    ASN1_FORCED_INLINE bool encodeInteger(const INTEGER& value, ConstraintType type, int lower, unsigned upper)
    {
        const unsigned v = static_cast<unsigned>(value.getValue());
        const bool within = withinBounds(type, lower, upper, v);
        switch (type) {
        case FixedConstraint:
            break;
        case ExtendableConstraint:
            encodeSingleBit(!within);
            if (!within) {
                encodeUnconstrainedInteger(value.getValue());
                return true;
            }
            break;
        default:
            if (!within)
                return false;
            encodeUnconstrainedInteger(value.getValue());
            return true;
        }
        if (!within)
            return false;
        encodeWholeNumber(v - static_cast<unsigned>(lower), upper - static_cast<unsigned>(lower) + 1);
        return true;
    }
    ASN1_FORCED_INLINE bool encodeEnumerated(const ENUMERATED& value, bool extendable, int maxEnumValue)
    {
        const int number = value.getValue();
        if (number > maxEnumValue)
            return extendable && encodeEnumeratedAddition(static_cast<unsigned>(number));
        if (extendable)
            encodeSingleBit(false);
        return encodeUnsigned(static_cast<unsigned>(number), 0, static_cast<unsigned>(maxEnumValue));
    }
    // The index of a root alternative of a CHOICE type with numRoot root alternatives.
    ASN1_FORCED_INLINE void encodeChoiceIndex(bool extendable, unsigned index, unsigned numRoot)
    {
        if (extendable)
            encodeSingleBit(false);
        encodeWholeNumber(index, numRoot);
    }
    // The head of a SEQUENCE of a type with optionalCount (at most 31) optional root components:
    // the extension bit (of an extendable type) and the presence bits, which it returns, the first
    // one as the highest bit.
    ASN1_FORCED_INLINE unsigned openSequence(const SEQUENCE& seq, bool extendable, unsigned optionalCount)
    {
        const unsigned present = seq.optionalMap().head(optionalCount);
        if (extendable)
            encodeMultiBit((anyKnownExtension(seq) ? 1u << optionalCount : 0) | present, optionalCount + 1);
        else
            encodeMultiBit(present, optionalCount);
        return present;
    }
    // An IA5String without size constraint, as its visitor slot encodes it: in the aligned variant
    // the characters go as a block of raw octets after the length.
    bool encodeIA5String(const AbstractString& value)
    {
        if (!aligned_)
            return do_visit(value);
        const std::string& text = value.getValue();
        const unsigned n = value.size();
        if (!encodeLength(n, 0, per::UnboundedLength))
            return false;
        unsigned char outside = 0;
        for (char c : text)
            outside |= static_cast<unsigned char>(c);
        if (outside & 0x80)
            return false;
        encodeBlock(text.data(), n);
        return true;
    }
    // An OCTET STRING without size constraint: its length, which aligns in both variants, then
    // its octets (of one or two octets too, then bit-fields on an octet boundary).
    bool encodeOctetString(const OCTET_STRING& value)
    {
        const unsigned n = value.size();
        if (!encodeLength(n, 0, per::UnboundedLength))
            return false;
        encodeBlock(value.getValue().data(), n);
        return true;
    }
    // The additions of a SEQUENCE, as the walk encodes them.
    bool encodeAdditions(const SEQUENCE& seq) { return seq.extensionMap().size() == 0 || visitExtensions(seq); }

    ASN1_FORCED_INLINE void encodeSingleBit(bool bit) { encodeMultiBit(bit ? 1 : 0, 1); }
    // The low n bits of value, most significant first (n up to 32; 0 writes nothing).
    ASN1_FORCED_INLINE void encodeMultiBit(unsigned value, unsigned n)
    {
        // Most fields fit in the free bits of the last octet; aligned ones are whole octets.
        if (bitOffset_ != 8 && n < bitOffset_) {
            bitOffset_ = static_cast<std::uint16_t>(bitOffset_ - n);
            out_.back() = static_cast<char>(out_.back() | (value & ((1u << n) - 1)) << bitOffset_);
            return;
        }
        if (bitOffset_ == 8 && (n == 8 || n == 16)) {
            if (n == 16)
                out_.push_back(static_cast<char>(value >> 8));
            out_.push_back(static_cast<char>(value));
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
    ASN1_FORCED_INLINE bool encodeUnsigned(unsigned value, unsigned lower, unsigned upper)
    {
        if (value < lower || value > upper)
            return false;
        encodeWholeNumber(value - lower, upper - lower + 1);
        return true;
    }
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
    // A value below the top one: through its code in the mode encode() sets, else the walk.
    bool component(const AbstractData& value)
    {
        bool (*const code)(PEREncoder&, const AbstractData&) = value.info()->perEncode;
        return viaCode_ && code ? code(*this, value) : value.accept(*this);
    }
    // The constraint test: signed when the lower bound is negative (-128..127), unsigned
    // otherwise; a lower-bound-only constraint has no upper test.
    static bool withinBounds(ConstraintType type, int lower, unsigned upper, unsigned v)
    {
        if (type == Unconstrained)
            return true;
        const bool signedBounds = lower < 0;
        const bool aboveLower = signedBounds ? static_cast<int>(v) >= lower : v >= static_cast<unsigned>(lower);
        if (type == PartiallyConstrained || !aboveLower)
            return aboveLower;
        return signedBounds ? static_cast<int>(v) <= static_cast<int>(upper) : v <= upper;
    }
    // Whether an addition the type knows is present: the extension bit.
    static bool anyKnownExtension(const SEQUENCE& seq)
    {
        return seq.extensionMap().size() > 0 && anyKnownAddition(seq);
    }
    static bool anyKnownAddition(const SEQUENCE& seq);
    // encodeMultiBit of a field that fills the last octet or goes beyond it.
    void encodeBits(unsigned value, unsigned n);
    // offset = value - lower in a range of `range` values (0 standing for 2^32).
    ASN1_FORCED_INLINE void encodeWholeNumber(unsigned offset, unsigned range)
    {
        const bool wholeRange = range == 0;  // 2^32 values
        if (range == 1)
            return;
        if (!aligned_ || (!wholeRange && range <= 255)) {
            encodeMultiBit(offset, CountBits(range));
        } else if (!wholeRange && range <= 65536) {
            byteAlign();
            encodeMultiBit(offset, range <= 256 ? 8 : 16);
        } else {
            encodeCountedNumber(offset, range);
        }
    }
    // encodeWholeNumber beyond 65536 values: the octet count, then the octets.
    void encodeCountedNumber(unsigned offset, unsigned range);
    // Length, then the value's shortest two's-complement octets (at most four: the length is one
    // aligned octet, and the octets follow whole).
    ASN1_FORCED_INLINE void encodeUnconstrainedInteger(int value)
    {
        const auto v = static_cast<unsigned>(value);
        const unsigned magnitude = value < 0 ? ~v : v;  // the bits beside the sign bit
        const unsigned octets = magnitude < 0x80 ? 1 : magnitude < 0x8000 ? 2 : magnitude < 0x800000 ? 3 : 4;
        byteAlign();
        out_.push_back(static_cast<char>(octets));
        for (unsigned i = octets; i-- > 0;)
            out_.push_back(static_cast<char>(v >> 8 * i));
    }
    // An ENUMERATED value beyond the root.
    bool encodeEnumeratedAddition(unsigned value);
    // The contents of an open type: length and octets; an empty one becomes the octet 0.
    bool encodeOpenOctets(const std::vector<char>& octets);

    std::vector<char>& out_;
    // Free bits left in the last octet of out_; 8 means the next bit opens a new octet.
    std::uint16_t bitOffset_ = 8;
    bool aligned_;
    // Set by encode(): values with code of their own are encoded through it.
    bool viaCode_ = false;
};

}  // namespace ASN1
