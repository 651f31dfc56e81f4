#pragma once

// Judges whether a value respects the constraints of its descriptor. Two judgements:
// - valid (value.isValid(), ValidChecker): tolerates what an extension marker allows (an INTEGER
//   outside an extendable range, an ENUMERATED value or CHOICE alternative beyond the root of an
//   extendable type, a size above the upper bound of an extendable size constraint);
// - strictly valid (value.isStrictlyValid(), StrictlyValidChecker): every value within its root.
// Absent optional fields are not judged. Neither changes the value. invalid_value_tracer.h
// describes where a value fails.

#include "asn1/runtime/abstract_data.h"
#include "asn1/runtime/const_visitor.h"

#include <cstddef>

namespace ASN1 {

class AbstractString;
class BMPString;
class ENUMERATED;
class GeneralizedTime;
class INTEGER;

// The rules per kind, shared by the checkers and the tracer.
namespace validity {

// The INTEGER range: compared as signed numbers when lowerLimit is negative, else as unsigned.
bool belowLowerBound(const INTEGER& value);
bool aboveUpperBound(const INTEGER& value);
// An ENUMERATED value from 0 to maxEnumValue.
bool inEnumerationRoot(const ENUMERATED& value);
// A size n (bits, octets, characters or elements) against a size constraint.
bool sizeBelowLowerBound(unsigned n, const ConstrainedObject::InfoType& info);
bool sizeAboveUpperBound(unsigned n, const ConstrainedObject::InfoType& info);
// Position of the first character outside the permitted set (or outside firstChar..lastChar),
// or the length when every character is permitted. A string type with an empty set permits all.
std::size_t firstIllegalCharacter(const AbstractString& value);
std::size_t firstIllegalCharacter(const BMPString& value);
// Year from 1, month 1..12, day 1..31, hour 0..24, minute and second 0..59, offset -720..720
// minutes; the milliseconds are not judged.
bool timeFieldsValid(const GeneralizedTime& value);

}  // namespace validity

namespace detail {

// Both checkers: the same walk, strict or tolerant of extensions.
class ValidityChecker : public ConstVisitor {
protected:
    explicit ValidityChecker(bool strict) : strict_(strict) {}

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

    bool visitExtensionRoot(const SEQUENCE& seq, int index) override;
    bool visitKnownExtension(const SEQUENCE& seq, int index) override;

private:
    bool sizeValid(unsigned n, const ConstrainedObject::InfoType& info) const;

    bool strict_;
};

}  // namespace detail

class ValidChecker : public detail::ValidityChecker {
public:
    ValidChecker() : ValidityChecker(false) {}
};

class StrictlyValidChecker : public detail::ValidityChecker {
public:
    StrictlyValidChecker() : ValidityChecker(true) {}
};

}  // namespace ASN1
