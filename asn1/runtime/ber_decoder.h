#pragma once

// Reads values in the Basic Encoding Rules of X.690, as the BER writer produces them, into an
// existing value (normally a default value of the expected type).
//
// Use (encoding rule 1 of the coder front):
//     ASN1::BERDecoder reader(env, first, last);  // env may be null
//     const bool ok = value.accept(reader);
// Octets after the value are not examined. A failed read leaves the value partly filled.
//
// The input is untrusted: every length is checked against the octets left before anything is
// allocated or read, so no input makes the reader allocate more than the input's size;
// identifiers with a tag number above 65535, length fields of more than 4 octets, BMPString
// contents of odd length and INTEGER or ENUMERATED contents that do not fit 32 bits are refused.
// The indefinite-length octet 0x80 reads as length 0 (that form is never written).

#include "asn1/runtime/visitor.h"

#include <vector>

namespace ASN1 {

class AbstractData;

class BERDecoder : public Visitor {
public:
    BERDecoder(const CoderEnv* env, const char* first, const char* last);

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
    int visitKnownExtension(SEQUENCE& seq, int index, int optionalId) override;
    bool visitUnknownExtensions(SEQUENCE& seq) override;

private:
    // Reads an identifier and a length whose content lies within the input; false (position
    // unspecified) otherwise.
    bool decodeHeader(unsigned& tag, unsigned& length);
    // The identifier of the header at the position and the end of its content; the position
    // stays where it is.
    bool peekHeader(unsigned& tag, const char*& contentEnd);
    // A header for value: its own descriptor tag, or any tag when a context tag stands in for it
    // (the tag-skip count). A refused header leaves the position where it was.
    bool decodeHeader(const AbstractData& value, unsigned& length);
    // Reads the header for value and moves past its content, which is returned (null when the
    // header is refused).
    const char* takeContent(const AbstractData& value, unsigned& length);
    // Reads a header for an untagged-by-default value (CHOICE, open type): when it stands inside
    // a tag of its own (tag-skip count or a descriptor tag), that wrapper is read first and
    // wrapperEnd is set to its end, else to null.
    bool decodeWrapper(const AbstractData& value, const char*& wrapperEnd);
    // Selects the CHOICE alternative carrying tag and creates its value.
    bool selectByTag(CHOICE& value, unsigned tag);
    int readComponent(SEQUENCE& seq, int index, int optionalId);

    const char* position_;
    const char* end_;
    // End of the content of each SEQUENCE being read, innermost last.
    std::vector<const char*> ends_;
    // Headers that may carry a context tag in place of the value's own tag (0 or 1).
    unsigned tagSkip_ = 0;
};

}  // namespace ASN1
