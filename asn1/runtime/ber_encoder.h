#pragma once

// Writes values in the Basic Encoding Rules of X.690, definite-length form, with the automatic
// tagging described in ber_tags.h; a value coded on its own, and each element of a SEQUENCE OF,
// carries its descriptor's universal tag.
//
// Use (encoding rule 1 of the coder front):
//     std::vector<char> out;
//     ASN1::BEREncoder writer(out);
//     const bool ok = value.accept(writer);  // appends to out
// The write fails for a CHOICE without a selection and an open type holding nothing; the octets
// appended before the failure stay in out, so the caller discards them.

#include "asn1/runtime/ber_tags.h"
#include "asn1/runtime/const_visitor.h"

#include <vector>

namespace ASN1 {

class BEREncoder : public ConstVisitor {
public:
    explicit BEREncoder(std::vector<char>& out) : out_(out) {}

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
    bool visitKnownExtension(const SEQUENCE& seq, int index) override;

private:
    // Identifier and length of value under the pending tag.
    void encodeHeader(const AbstractData& value);
    void putInteger(int value);

    std::vector<char>& out_;
    // The tag of the next header; every path that writes a component sets it first.
    unsigned tag_ = ber::OwnTag;
};

}  // namespace ASN1
