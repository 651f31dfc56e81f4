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
#include "asn1/runtime/boolean.h"
#include "asn1/runtime/enumerated.h"
#include "asn1/runtime/forced_inline.h"
#include "asn1/runtime/integer.h"
#include "asn1/runtime/octet_string.h"
#include "asn1/runtime/per_rules.h"
#include "asn1/runtime/sequence.h"
#include "asn1/runtime/utility.h"
#include "asn1/runtime/visitor.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ASN1 {

class PERDecoder final : public Visitor {
public:
    // A place in the input.
    struct memento_type {
        const char* position;
        std::uint16_t bitOffset;
    };

    // Reads [first, last) from the first bit of first. env is handed on to nested decoders only.
    PERDecoder(const char* first, const char* last, const CoderEnv* env = nullptr, bool aligned = true)
        : Visitor(env), begin_(first), position_(first), end_(last), tail_(lastOctets(first, last)), aligned_(aligned)
    {
    }

    // Decodes value, and from then on every value below it, through the code its descriptor
    // carries (perDecode, written by the generator for its type), else through the visitor walk.
    // Either way the same value from the same octets: accept() runs the walk alone, the reference
    // the generated code keeps to.
    bool decode(AbstractData& value)
    {
        viaCode_ = true;
        return component(value);
    }

    // The building blocks of generated code, which passes the constants of each type; the visitor
    // slots pass them from the descriptors. Those that take constants are always inlined, so that
    // the constants fold.
    ASN1_FORCED_INLINE bool decodeBoolean(BOOLEAN& value)
    {
        unsigned bit = 0;
        if (!decodeMultiBit(1, bit))
            return false;
        value.setValue(bit != 0);
        return true;
    }
    ASN1_FORCED_INLINE bool decodeInteger(INTEGER& value, ConstraintType type, int lower, unsigned upper)
    {
        bool unconstrained = type == Unconstrained || type == PartiallyConstrained;
        if (type == ExtendableConstraint && !decodeSingleBit(unconstrained))
            return false;
        // A lower-bound-only type with a non-negative bound has no negative values, so its octets
        // read as a non-negative number.
        if (unconstrained)
            return decodeIntegerOctets(value, type != PartiallyConstrained || lower < 0);
        unsigned bits = 0;
        if (!decodeUnsigned(static_cast<unsigned>(lower), upper, bits))
            return false;
        value.setValue(static_cast<int>(bits));
        return true;
    }
    ASN1_FORCED_INLINE bool decodeEnumerated(ENUMERATED& value, bool extendable, int maxEnumValue)
    {
        bool extension = false;
        if (extendable && !decodeSingleBit(extension))
            return false;
        if (extension)
            return decodeEnumeratedAddition(value);
        unsigned number = 0;
        const unsigned maximum = static_cast<unsigned>(maxEnumValue);
        if (!decodeUnsigned(0, maximum, number) || number > maximum)
            return false;
        value.setValue(static_cast<int>(number));
        return true;
    }
    // The head of a SEQUENCE of a type with optionalCount (at most 31) optional root components:
    // drops the additions an earlier fill left, then reads the extension bit (of an extendable
    // type) and the presence bits in one go; `present` also receives these, the first one as its
    // highest bit. The caller keeps the optional components present again, filling them anew,
    // and drops the others (dropField).
    ASN1_FORCED_INLINE bool openSequence(SEQUENCE& seq, bool extendable, unsigned optionalCount, bool& extended,
                                             unsigned& present)
    {
        // Only a type with an extension marker has additions.
        if (extendable && seq.extensionMap().size() > 0)
            seq.dropAdditions();
        const unsigned count = optionalCount + (extendable ? 1 : 0);
        unsigned head = 0;
        if (count > 0 && !decodeMultiBit(count, head))
            return false;
        extended = extendable && (head >> optionalCount) != 0;
        present = head & ((1u << optionalCount) - 1);
        seq.optionalMap().assignHead(present, optionalCount);
        return true;
    }
    // The index of a CHOICE alternative, of a type with numRoot root alternatives of
    // numAlternatives: for an extension alternative openTypeEnd receives the end of its open type,
    // otherwise null.
    ASN1_FORCED_INLINE bool decodeChoiceIndex(bool extendable, unsigned numRoot, unsigned numAlternatives,
                                                  unsigned& index, const char*& openTypeEnd)
    {
        bool extension = false;
        openTypeEnd = nullptr;
        const unsigned indexBits = CountBits(numRoot);
        if (extendable && numRoot > 0 && indexBits <= 6) {
            // The extension bit and a root index in one read. An addition's index (a normally
            // small number) takes at least seven bits, so an input too short for both fails
            // either way.
            unsigned head = 0;
            if (!peekBits(1 + indexBits, head))
                return false;
            if (head >> indexBits) {
                skipBits(1);
                return decodeAdditionIndex(numRoot, numAlternatives, index, openTypeEnd);
            }
            skipBits(1 + indexBits);
            index = head;
            return index < numRoot;
        }
        if (extendable && !decodeSingleBit(extension))
            return false;
        if (extension)
            return decodeAdditionIndex(numRoot, numAlternatives, index, openTypeEnd);
        return numRoot > 0 && decodeUnsigned(0, numRoot - 1, index) && index < numRoot;
    }
    // An extension alternative: the held one when it is selected, else a new one, decoded from the
    // open type that ends at openTypeEnd.
    bool decodeAdditionalAlternative(CHOICE& value, unsigned index, const char* openTypeEnd);
    // An IA5String without size constraint, as its visitor slot decodes it: in the aligned variant
    // the characters come as a block of raw octets after the length.
    bool decodeIA5String(AbstractString& value)
    {
        if (!aligned_)
            return do_visit(value);
        std::string& text = value.getValue();
        unsigned n = 0;
        const char* first = nullptr;
        if (decodeUnboundedLength(n) && n <= MaximumStringSize && (first = takeBlock(n))) {
            // The same as assign, cheaper for the short text of a new value.
            text.clear();
            text.append(first, n);
            return true;
        }
        text.clear();
        return false;
    }
    // An OCTET STRING without size constraint: after its length, aligned in both variants, the
    // octets come as a block (of one or two octets too, then bit-fields on an octet boundary).
    bool decodeOctetString(OCTET_STRING& value)
    {
        unsigned n = 0;
        const char* first = nullptr;
        if (!decodeUnboundedLength(n) || n > MaximumStringSize || !(first = takeBlock(n)))
            return false;
        value.getValue().assign(first, first + n);
        return true;
    }
    // The additions of a SEQUENCE whose extension bit was set, as the walk decodes them.
    bool decodeAdditions(SEQUENCE& seq) { return visitExtensions(seq); }

    // False when no bit is left.
    ASN1_FORCED_INLINE bool decodeSingleBit(bool& bit)
    {
        unsigned value = 0;
        if (!decodeMultiBit(1, value))
            return false;
        bit = value != 0;
        return true;
    }
    // False when n > 32 or fewer than n bits are left; n = 0 gives 0.
    ASN1_FORCED_INLINE bool decodeMultiBit(unsigned n, unsigned& value)
    {
        if (!peekBits(n, value))
            return false;
        skipBits(n);
        return true;
    }
    // decodeMultiBit that leaves the bits to be read again.
    ASN1_FORCED_INLINE bool peekBits(unsigned n, unsigned& value) const
    {
        // Eight octets left hold at least 57 unread bits: no more to check.
        if (n <= 32 && end_ - position_ >= 8) {
            value = bitsOf(octetsAt(position_), n);
            return true;
        }
        if (n > 32 || getBitsLeft() < n)
            return false;
        value = bitsOf(peekTail(), n);
        return true;
    }
    // Passes over n bits, which are there.
    ASN1_FORCED_INLINE void skipBits(unsigned n)
    {
        const unsigned used = used_ + n;
        position_ += used / 8;
        used_ = used % 8;
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
        bits.assignHead(head, nbits);
        return true;
    }
    void byteAlign()
    {
        if (used_ != 0) {
            ++position_;
            used_ = 0;
        }
    }
    // Moves to p (never beyond the end) at an octet boundary.
    void setPosition(const char* p);
    std::uint64_t getBitsLeft() const { return std::uint64_t(end_ - position_) * 8 - used_; }

    // A constrained whole number in [lower, upper], lower added back modulo 2^32. The decoder does
    // not check it against upper: a field of two octets may carry up to 65535 whatever its range,
    // and every consumer range-checks such values before use.
    ASN1_FORCED_INLINE bool decodeUnsigned(unsigned lower, unsigned upper, unsigned& value)
    {
        if (!decodeWholeNumber(upper - lower + 1, value))
            return false;
        value += lower;
        return true;
    }
    // A length determinant, which must lie within [lower, upper].
    bool decodeLength(unsigned lower, unsigned upper, unsigned& n);
    // The unbounded length determinant (of bounds 0..UnboundedLength): aligned, one octet up to
    // 127, two up to 16383.
    bool decodeUnboundedLength(unsigned& n)
    {
        byteAlign();
        const std::ptrdiff_t left = end_ - position_;
        if (left <= 0)
            return false;
        const unsigned first = static_cast<unsigned char>(*position_);
        if (!(first & 0x80)) {
            n = first;
            ++position_;
            return true;
        }
        // The form beginning with the bits 11 announces fragments, which this system never uses.
        if (left < 2 || (first & 0x40))
            return false;
        n = octetsAt<std::uint16_t>(position_) & 0x3fffu;
        position_ += 2;
        return true;
    }
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
    // A value below the top one: through its code in the mode decode() sets, else the walk.
    ASN1_FORCED_INLINE bool component(AbstractData& value)
    {
        bool (*const code)(PERDecoder&, AbstractData&) = value.info()->perDecode;
        return viaCode_ && code ? code(*this, value) : value.accept(*this);
    }
    // An INTEGER in its unbounded form: length and octets, sign-extended in the signed form.
    ASN1_FORCED_INLINE bool decodeIntegerOctets(INTEGER& value, bool signedForm)
    {
        unsigned bits = 0;
        byteAlign();
        // The common case, in one read: the length octet and up to four octets.
        const std::uint64_t window = peekOctets();
        unsigned octets = static_cast<unsigned>(window >> 56);
        if (octets <= 4 && end_ - position_ > octets) {
            bits = octets ? static_cast<unsigned>(window << 8 >> (64 - 8 * octets)) : 0;
            position_ += 1 + octets;
        } else if (!decodeIntegerField(octets, bits)) {
            return false;
        }
        // The encoder wrote the value's own two's complement.
        const unsigned width = octets * 8;
        if (signedForm && width > 0 && width < 32 && (bits >> (width - 1)) & 1)
            bits |= ~0u << width;
        value.setValue(static_cast<int>(bits));
        return true;
    }
    // The length and octets of decodeIntegerOctets (at most four) beyond its common case.
    bool decodeIntegerField(unsigned& octets, unsigned& bits);
    // The index of an extension alternative, after its extension bit.
    bool decodeAdditionIndex(unsigned numRoot, unsigned numAlternatives, unsigned& index, const char*& openTypeEnd);
    // The held alternative when index is selected, else a new one of the descriptor's; false when
    // the descriptor has none there.
    static bool selectAlternative(CHOICE& value, unsigned index);
    // An ENUMERATED value beyond the root, after its extension bit.
    bool decodeEnumeratedAddition(ENUMERATED& value);

    // The eight octets from position_ as a big-endian number, zeros beyond the end.
    ASN1_FORCED_INLINE std::uint64_t peekOctets() const
    {
        return end_ - position_ >= 8 ? octetsAt(position_) : peekTail();
    }
    // The n bits (n at most 32) from the current one, in the window of the eight octets from
    // position_; the field lies within them wherever in the current octet it starts.
    ASN1_FORCED_INLINE unsigned bitsOf(std::uint64_t window, unsigned n) const
    {
        return n ? static_cast<unsigned>(window << used_ >> (64 - n)) : 0;
    }
    // peekOctets of the last seven octets or fewer (none left giving 0): the window of the last
    // octets shifted up, in two steps so that no shift spans 64 bits.
    ASN1_FORCED_INLINE std::uint64_t peekTail() const
    {
        const auto left = static_cast<unsigned>(end_ - position_);
        return tail_ << 8 * (7 - left) << 8;
    }
    // The last eight octets of [first, last), or all of them when fewer, as a big-endian number:
    // the short forms in two overlapping loads each, which agree where they overlap.
    static std::uint64_t lastOctets(const char* first, const char* last)
    {
        const std::ptrdiff_t n = last - first;
        if (n >= 8)
            return octetsAt(last - 8);
        if (n >= 4)
            return std::uint64_t(octetsAt<std::uint32_t>(first)) << 8 * (n - 4) |
                   octetsAt<std::uint32_t>(last - 4);
        if (n >= 2)
            return std::uint64_t(octetsAt<std::uint16_t>(first)) << 8 * (n - 2) |
                   octetsAt<std::uint16_t>(last - 2);
        return n == 1 ? static_cast<unsigned char>(*first) : 0;
    }
    // The sizeof(Word) octets from p as a big-endian number, in one load.
    template <class Word = std::uint64_t>
    static Word octetsAt(const char* p)
    {
        Word octets = 0;
        std::memcpy(&octets, p, sizeof octets);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        if constexpr (sizeof octets == 8)
            octets = __builtin_bswap64(octets);
        else if constexpr (sizeof octets == 4)
            octets = __builtin_bswap32(octets);
        else
            octets = __builtin_bswap16(octets);
#endif
        return octets;
    }

    // The offset of a constrained whole number in a range of `range` values (0 standing for 2^32).
    ASN1_FORCED_INLINE bool decodeWholeNumber(unsigned range, unsigned& offset)
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
    ASN1_FORCED_INLINE bool decodeCountedNumber(unsigned range, unsigned& offset)
    {
        const unsigned maxOctets = (CountBits(range) + 7) / 8;
        unsigned octets = 0;
        if (!decodeMultiBit(CountBits(maxOctets), octets) || octets >= maxOctets)
            return false;
        byteAlign();
        return decodeMultiBit((octets + 1) * 8, offset);
    }
    // decodeBitMap of more than 32 bits.
    bool decodeLongBitMap(BitMap& bits, unsigned nbits);
    // Nothing for n = 0; otherwise aligns. The first of the next n octets, passed over, or null
    // when fewer are left.
    const char* takeBlock(unsigned n)
    {
        if (n == 0)
            return position_;
        byteAlign();
        if (n > static_cast<std::size_t>(end_ - position_))
            return nullptr;
        const char* first = position_;
        position_ += n;
        return first;
    }
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

    // The first octet of the input, before which nothing is read.
    const char* begin_;
    const char* position_;
    const char* end_;
    // lastOctets(begin_, end_), the octets near the end read from here.
    std::uint64_t tail_;
    // Bits of *position_ read already, from its most significant one: 0 at an octet boundary.
    unsigned used_ = 0;
    bool aligned_;
    // Set by decode(): values with code of their own are decoded through it.
    bool viaCode_ = false;
};

}  // namespace ASN1
