#pragma once

// The packed encoding rules, reading side: fills a default value tree from an octet range, read
// in place. It mirrors PEREncoder bit for bit, aligned by default.
//
// The bytes come from open TCP ports, so every read checks the bits left and fails rather than
// inventing zeros; counts and lengths are checked before they are added to anything; an open type
// is decoded with the input bounded by its own length; and no length is trusted for an
// allocation before it has been checked against the limits of per_rules.h (and, for strings and
// blocks, against the bits left). A visit that fails leaves the components decoded before it in
// the tree; the caller drops the value.

#include "asn1/runtime/bit_map.h"
#include "asn1/runtime/utility.h"
#include "asn1/runtime/visitor.h"

#include <cstddef>
#include <cstdint>

namespace ASN1 {

class AbstractData;
class ConstrainedObject;

class PERDecoder : public Visitor {
public:
    // A place in the input.
    struct memento_type {
        const char* position;
        std::uint16_t bitOffset;
    };

    // Reads [first, last) from the first bit of first. env is handed on to nested decoders only.
    PERDecoder(const char* first, const char* last, const CoderEnv* env = nullptr, bool aligned = true)
        : Visitor(env), position_(first), end_(last), aligned_(aligned)
    {
    }

    // False when no bit is left.
    bool decodeSingleBit(bool& bit);
    // False when n > 32 or fewer than n bits are left; n = 0 gives 0.
    bool decodeMultiBit(unsigned n, unsigned& value)
    {
        if (n > 32 || getBitsLeft() < n)
            return false;
        // The field lies within the next eight octets wherever in the current one it starts.
        const unsigned done = 8u - bitOffset_;
        const std::uint64_t window = peekOctets() << done;
        value = n ? static_cast<unsigned>(window >> (64 - n)) : 0;
        position_ += (done + n) / 8;
        bitOffset_ = static_cast<std::uint16_t>(8 - (done + n) % 8);
        return true;
    }
    // Nothing for n = 0; otherwise aligns and copies min(n, octets left) octets. Returns the count
    // copied.
    unsigned decodeBlock(char* buf, unsigned n);
    // nbits bits into the map, most significant first; false when fewer bits are left.
    bool decodeBitMap(BitMap& bits, unsigned nbits)
    {
        if (nbits > 32)
            return decodeLongBitMap(bits, nbits);
        // A presence map: one read.
        unsigned head = 0;
        if (!decodeMultiBit(nbits, head))
            return false;
        char* octets = bits.fill(nbits);
        for (unsigned i = 0; i * 8 < nbits; ++i)
            octets[i] = static_cast<char>(std::uint64_t(head) << (32 - nbits) >> (24 - 8 * i));
        return true;
    }
    void byteAlign()
    {
        if (bitOffset_ != 8) {
            ++position_;
            bitOffset_ = 8;
        }
    }
    // Moves to p (never beyond the end) at an octet boundary.
    void setPosition(const char* p);
    std::uint64_t getBitsLeft() const { return std::uint64_t(end_ - position_) * 8 + bitOffset_ - 8; }

    // A constrained whole number in [lower, upper], lower added back modulo 2^32. The decoder does
    // not check it against upper: a field of two octets may carry up to 65535 whatever its range,
    // and every consumer range-checks such values before use.
    bool decodeUnsigned(unsigned lower, unsigned upper, unsigned& value)
    {
        if (!decodeWholeNumber(upper - lower + 1, value))
            return false;
        value += lower;
        return true;
    }
    // A length determinant, which must lie within [lower, upper].
    bool decodeLength(unsigned lower, unsigned upper, unsigned& n);
    bool decodeSmallUnsigned(unsigned& value);
    bool decodeConstrainedLength(const ConstrainedObject& object, unsigned& n);
    // The selection part of a CHOICE: selects (and creates) the alternative; for an extension
    // alternative openTypeEnd receives the end of its open type, otherwise a null position.
    bool decodeChoicePreamle(CHOICE& value, memento_type& openTypeEnd);

protected:
    bool do_visit(Null& value) override;
    bool do_visit(BOOLEAN& value) override;
    bool do_visit(INTEGER& value) override;
    bool do_visit(ENUMERATED& value) override;
    bool do_visit(OBJECT_IDENTIFIER& value) override;
    bool do_visit(OCTET_STRING& value) override;
    bool do_visit(BIT_STRING& value) override;
    bool do_visit(AbstractString& value) override;
    bool do_visit(BMPString& value) override;
    bool do_visit(CHOICE& value) override;
    bool do_visit(SEQUENCE_OF_Base& value) override;
    bool do_visit(OpenData& value) override;
    bool do_revisit(OpenData& value) override;
    bool do_visit(TypeConstrainedOpenData& value) override;
    bool do_visit(GeneralizedTime& value) override;

    int preVisitExtensionRoots(SEQUENCE& seq) override;
    int visitExtensionRoot(SEQUENCE& seq, int index, int optionalId) override;
    int preVisitExtensions(SEQUENCE& seq) override;
    int visitKnownExtension(SEQUENCE& seq, int index, int optionalId) override;
    bool visitUnknownExtensions(SEQUENCE& seq) override;

private:
    // The eight octets from position_ as a big-endian number, zeros beyond the end.
    std::uint64_t peekOctets() const
    {
        const auto* o = reinterpret_cast<const unsigned char*>(position_);
        if (end_ - position_ >= 8)
            return std::uint64_t(o[0]) << 56 | std::uint64_t(o[1]) << 48 | std::uint64_t(o[2]) << 40 |
                   std::uint64_t(o[3]) << 32 | std::uint64_t(o[4]) << 24 | std::uint64_t(o[5]) << 16 |
                   std::uint64_t(o[6]) << 8 | o[7];
        std::uint64_t window = 0;
        for (std::ptrdiff_t i = 0; i < end_ - position_; ++i)
            window |= std::uint64_t(o[i]) << (56 - 8 * i);
        return window;
    }

    // The offset of a constrained whole number in a range of `range` values (0 standing for 2^32).
    bool decodeWholeNumber(unsigned range, unsigned& offset)
    {
        // A bit-field, the common case; one or two aligned octets; or a counted number of octets.
        if (range - 1 < 255 || !aligned_)
            return decodeMultiBit(CountBits(range), offset);
        if (range - 1 < 65536) {
            byteAlign();
            return decodeMultiBit(range > 256 ? 16 : 8, offset);
        }
        return decodeCountedNumber(range, offset);
    }
    bool decodeCountedNumber(unsigned range, unsigned& offset);
    // decodeBitMap of more than 32 bits.
    bool decodeLongBitMap(BitMap& bits, unsigned nbits);
    // Nothing for n = 0; otherwise aligns. The first of the next n octets, passed over, or null
    // when fewer are left.
    const char* takeBlock(unsigned n);
    // Exactly n octets as an aligned block into a string or vector.
    template <class Octets>
    bool decodeOctets(Octets& octets, unsigned n);
    // An open type's length; contentEnd receives the end of its contents, which must lie within
    // the input.
    bool decodeOpenTypeEnd(const char*& contentEnd);
    // Decodes value from the contents of an open type, never reading beyond contentEnd, in the
    // aligned variant its encoder used; then moves to contentEnd whatever the value consumed.
    bool decodeWithin(AbstractData& value, const char* contentEnd);
    bool skipOpenType();

    const char* position_;
    const char* end_;
    // Bits of *position_ not read yet; 8 means the next read starts at its most significant bit.
    std::uint16_t bitOffset_ = 8;
    bool aligned_;
};

}  // namespace ASN1
