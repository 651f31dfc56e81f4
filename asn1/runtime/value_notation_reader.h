#pragma once

// Reads ASN.1 value notation, as the writer produces it, into an existing value (normally a
// default value of the expected type). The test controller reads its commands this way.
//
// Entry points:
// - `is >> value` (ASN1::operator>>): a stream already in error is left alone; a text that does
//   not read sets failbit. The value may be partly filled after a failure.
// - value.setFromValueNotation(text): true when the value was read; text after it is ignored.
// - AVNDecoder: the visitor itself, for the coder front (encoding rule 0):
//       std::istringstream text(std::string(first, last));
//       ASN1::AVNDecoder reader(text);
//       const bool ok = value.accept(reader);
//
// Accepted text: what the writer writes. A SEQUENCE lists its fields in the type's order, each as
// its name, white space and its value, separated by commas; absent optional fields are left out
// and every mandatory field must be there; a comma before the closing brace is allowed. A word
// (a field, alternative or enumerator name) ends at white space, ",", "}" or ":". An ENUMERATED
// takes a name or, as the writer prints values without a name, a decimal number. Quoted strings
// take the writer's escapes (\\, \" and \xHH) and no other. A BMPString is a quoted string of
// characters up to 0x7F or, as the writer prints a string holding any other, a braced list of
// {group, plane, row, cell} quadruples with group and plane 0: {{ 0, 0, 4, 22}, { 0, 0, 0, 65}}.
// An open type without a contained type is never read. Reading replaces what the value held:
// octets, bits, arcs and elements are not appended to earlier ones.

#include "asn1/runtime/visitor.h"

#include <istream>
#include <string>
#include <vector>

namespace ASN1 {

class AbstractData;

class AVNDecoder : public Visitor {
public:
    explicit AVNDecoder(std::istream& is) : is_(is) {}

protected:
    bool do_visit(Null& value) override;
    bool do_visit(BOOLEAN& value) override;
    bool do_visit(INTEGER& value) override;
    bool do_visit(IntegerWithNamedNumber& value) override;
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
    // A field name matching field `index`: the field is read, then "," and the next name (go on)
    // or "}" (the SEQUENCE ends; every root field after `index` must be optional).
    int readField(SEQUENCE& seq, int index, int optionalId);
    bool readWord(std::string& word);
    // The writer's quadruple form of a BMPString, "{" already peeked.
    bool readQuadruples(std::wstring& wide);
    bool readInteger(bool isUnsigned, int& value);
    int peekNonBlank();
    bool expect(char wanted);

    std::istream& is_;
    // The field name read last in the innermost SEQUENCE being read; "}" after a trailing comma.
    std::string name_;
};

// The next non-blank character must be a double quote; the text runs to the next unescaped double
// quote, which is consumed.
bool get_string(std::istream& is, std::string& text);
// A quoted bit or hexadecimal string: 'digits'B or 'digits'H. Replaces octets with the value,
// padded with zero bits on the right to whole octets, and sets bitCount to the number of bits
// the digits give (one per binary digit, four per hexadecimal digit).
bool get_value_from(std::istream& is, std::vector<char>& octets, unsigned& bitCount);
// Converts digits of base 2 or 16 (spaces and line ends ignored) into octets appended to octets,
// padding on the right with "0" to whole octets; digitCount receives the number of digits. False
// for a character that is not a digit of the base.
bool get_from_string(const std::string& digits, std::vector<char>& octets, unsigned& digitCount, int base);
// Index of the first of count names equal to name.
bool get_id(const char* const* names, unsigned count, const std::string& name, unsigned& index);

std::istream& operator>>(std::istream& is, AbstractData& value);

}  // namespace ASN1
