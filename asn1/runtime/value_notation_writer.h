#pragma once

// Writes any value in ASN.1 value notation, the only form in which values appear in log lines and
// in the test controller's output.
//
// Entry points:
// - `os << value` (ASN1::operator<<): prints the value; a stream already in error receives
//   nothing, and a value that cannot be printed (a CHOICE without a selection, an open type
//   holding nothing) leaves the stream failed after the text written up to that point.
// - value.asValueNotation(): the text written, whether the print succeeded or not.
// - AVNEncoder: the visitor itself, for the coder front (encoding rule 0):
//       std::ostringstream text;
//       ASN1::AVNEncoder writer(text);
//       const bool ok = value.accept(writer);
//
// Layout: a SEQUENCE is "{", one line per present field (its name, a space, its value; ",\n"
// between fields), then "}" on a line of its own; nested blocks are indented by two spaces per
// level and a SEQUENCE OF lists its elements the same way. A CHOICE is written "name : value".
// Numbers are always decimal, indentation is always spaces, and the stream's base and fill
// character stay as the caller set them. Quoted strings escape a backslash as \\, a double quote
// as \" and every byte below 0x20 or from 0x7F as \xHH, so no raw control byte reaches a log
// line; the reader takes the escapes back.

#include "asn1/runtime/const_visitor.h"

#include <ostream>
#include <string_view>
#include <vector>

namespace ASN1 {

class AVNEncoder : public ConstVisitor {
public:
    explicit AVNEncoder(std::ostream& os) : os_(os) {}

protected:
    bool do_visit(const Null& value) override;
    bool do_visit(const BOOLEAN& value) override;
    bool do_visit(const INTEGER& value) override;
    bool do_visit(const IntegerWithNamedNumber& value) override;
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
    bool afterVisitSequence(const SEQUENCE& seq) override;

private:
    bool putOctets(const std::vector<char>& octets);
    void indent(int spaces);

    std::ostream& os_;
    int indentation_ = 0;
    // One flag per SEQUENCE being written, innermost last: a field of it has been written.
    std::vector<bool> fieldWritten_;
};

// Writes text with the escapes of quoted strings (without the quotes).
void put_escaped(std::ostream& os, std::string_view text);

std::ostream& operator<<(std::ostream& os, const AbstractData& value);

}  // namespace ASN1
