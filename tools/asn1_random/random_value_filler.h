#pragma once

// Fills a default value with random content that its type admits, walking the descriptors as a
// decoder does. The content stays where our PER coding is plain X.691, so that any standard coder
// must agree with it byte for byte:
// - INTEGERs within 32 bits and within their range; ENUMERATEDs at the values of their names
//   (never an unknown addition);
// - strings, octet strings and lists far shorter than 16384.
// Any CHOICE alternative may be chosen, root or addition; each optional field is present or not.
//
// A focus type makes the value hold at least one value of that type: on the way to it, the
// alternatives, optional fields and list elements that can lead there are taken.

#include "asn1/runtime/visitor.h"
#include "tools/asn1_random/type_graph.h"

#include <random>

namespace asn1random {

class RandomValueFiller : public ASN1::Visitor {
public:
    RandomValueFiller(std::mt19937& random, TypeGraph& graph) : random_(random), graph_(graph) {}

    // Fills value, a default value. False when the type holds a kind the filler does not make
    // (bit strings, BMP strings, object identifiers, times, open types).
    bool fill(ASN1::AbstractData& value, const TypeInfo* focus = nullptr);
    // Whether the last fill placed a value of its focus type.
    bool focusPlaced() const { return placed_; }

protected:
    bool do_visit(ASN1::Null& value) override;
    bool do_visit(ASN1::BOOLEAN& value) override;
    bool do_visit(ASN1::INTEGER& value) override;
    bool do_visit(ASN1::ENUMERATED& value) override;
    bool do_visit(ASN1::OBJECT_IDENTIFIER& value) override;
    bool do_visit(ASN1::OCTET_STRING& value) override;
    bool do_visit(ASN1::BIT_STRING& value) override;
    bool do_visit(ASN1::AbstractString& value) override;
    bool do_visit(ASN1::BMPString& value) override;
    bool do_visit(ASN1::CHOICE& value) override;
    bool do_visit(ASN1::SEQUENCE_OF_Base& value) override;
    bool do_visit(ASN1::OpenData& value) override;
    bool do_revisit(ASN1::OpenData& value) override;
    bool do_visit(ASN1::TypeConstrainedOpenData& value) override;
    bool do_visit(ASN1::GeneralizedTime& value) override;

    int preVisitExtensionRoots(ASN1::SEQUENCE& seq) override;
    int visitExtensionRoot(ASN1::SEQUENCE& seq, int index, int optionalId) override;
    int visitKnownExtension(ASN1::SEQUENCE& seq, int index, int optionalId) override;

private:
    // Records reaching the focus; true when the focus is still to be placed and a value of type
    // can hold it.
    void arrive(const ASN1::AbstractData& value);
    bool leadsToFocus(const TypeInfo* type);
    bool coin() { return random_() & 1; }
    // Uniform in [lower, upper].
    long long between(long long lower, long long upper);
    // A length for a string or octet string: mostly short, at times past 127 (the two-octet form).
    unsigned length();
    // The component, filled; false when its kind cannot be filled or the nesting runs too deep.
    bool fillComponent(ASN1::AbstractData* component);

    std::mt19937& random_;
    TypeGraph& graph_;
    const TypeInfo* focus_ = nullptr;
    bool placed_ = false;
    unsigned depth_ = 0;
};

}  // namespace asn1random
