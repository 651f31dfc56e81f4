#pragma once

// Writes a value as the Erlang term that Erlang/OTP's ASN.1 application uses for it, in Erlang's
// text syntax, so that Erlang can encode the very value we encoded and compare its own decoding
// with it:
//   SEQUENCE      {'Record', Field...}, every root field and known addition in order, an absent
//                 one as asn1_NOVALUE
//   CHOICE        {'alternative', Value}
//   SEQUENCE OF   [Element, ...]
//   ENUMERATED    'name', or the number itself for one whose values are not 0, 1, ... in order
//                 (the export makes those INTEGERs)
//   INTEGER       the number (unsigned for a range that starts at 0 or above)
//   BOOLEAN       true or false; NULL 'NULL'
//   OCTET STRING  <<Octet, ...>>; character strings [Code, ...]
// Names are written in standard spelling ("_" as "-").

#include "asn1/runtime/const_visitor.h"
#include "tools/asn1_random/type_graph.h"

#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace asn1random {

// The record name of every SEQUENCE type, by descriptor.
using RecordNames = std::map<const TypeInfo*, std::string>;

class ErlangTermWriter : public ASN1::ConstVisitor {
public:
    explicit ErlangTermWriter(const RecordNames& records) : records_(records) {}

    // The term of value; false when the value holds a kind without a term here or an enumerator
    // without a name.
    bool write(const ASN1::AbstractData& value, std::string& term);

protected:
    bool do_visit(const ASN1::AbstractData& value) override;  // every kind not listed above
    bool do_visit(const ASN1::Null& value) override;
    bool do_visit(const ASN1::BOOLEAN& value) override;
    bool do_visit(const ASN1::INTEGER& value) override;
    bool do_visit(const ASN1::ENUMERATED& value) override;
    bool do_visit(const ASN1::OCTET_STRING& value) override;
    bool do_visit(const ASN1::AbstractString& value) override;
    bool do_visit(const ASN1::CHOICE& value) override;
    bool do_visit(const ASN1::SEQUENCE_OF_Base& value) override;

    bool preVisitExtensionRoots(const ASN1::SEQUENCE& seq) override;
    bool visitExtensionRoot(const ASN1::SEQUENCE& seq, int index) override;
    bool visitKnownExtension(const ASN1::SEQUENCE& seq, int index) override;
    bool afterVisitSequence(const ASN1::SEQUENCE& seq) override;

private:
    void atom(const std::string& name);
    // Writes asn1_NOVALUE for the absent fields before field index of the innermost record.
    void skipTo(unsigned index);

    const RecordNames& records_;
    std::ostringstream out_;
    // Per open record, the index of its next field to write.
    std::vector<unsigned> nextField_;
};

}  // namespace asn1random
