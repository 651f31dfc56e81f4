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

#include "asn1/runtime/visitor.h"

#include <cstdint>
#include <vector>

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
    bool decodeMultiBit(unsigned n, unsigned& value);
    // Nothing for n = 0; otherwise aligns and copies min(n, octets left) octets. Returns the count
    // copied.
    unsigned decodeBlock(char* buf, unsigned n);
    // nbits bits into octets, most significant first, the unused low bits of the last octet clear;
    // false when fewer bits are left.
    bool decodeBitMap(std::vector<char>& octets, unsigned nbits);
    void byteAlign();
    // Moves to p (never beyond the end) at an octet boundary.
    void setPosition(const char* p);
    std::uint64_t getBitsLeft() const { return std::uint64_t(end_ - position_) * 8 + bitOffset_ - 8; }

    // A constrained whole number in [lower, upper], lower added back modulo 2^32. The decoder does
    // not check it against upper: a field of two octets may carry up to 65535 whatever its range,
    // and every consumer range-checks such values before use.
    bool decodeUnsigned(unsigned lower, unsigned upper, unsigned& value);
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
    // The offset of a constrained whole number in a range of `range` values (0 standing for 2^32).
    bool decodeWholeNumber(unsigned range, unsigned& offset);
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
