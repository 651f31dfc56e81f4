#pragma once

// Judges whether a value respects the constraints of its descriptor. Two judgements:
// - valid (value.isValid(), ValidChecker): tolerates what an extension marker allows (an INTEGER
//   outside an extendable range, an ENUMERATED value or CHOICE alternative beyond the root of an
//   extendable type, a size above the upper bound of an extendable size constraint);
// - strictly valid (value.isStrictlyValid(), StrictlyValidChecker): every value within its root.
// Absent optional fields are not judged. Neither changes the value. invalid_value_tracer.h
// describes where a value fails. The judgements of single kinds are members of the value classes
// (INTEGER::isStrictValid, CHOICE::isValid, ...), defined beside the checkers.

#include "asn1/runtime/abstract_data.h"
#include "asn1/runtime/const_visitor.h"

#include <cstddef>

namespace ASN1 {

class AbstractString;
class INTEGER;

// Parts of the rules shared by the checkers, the kinds' members and the tracer.
namespace validity {

// The two sides of the INTEGER range: compared as signed numbers when lowerLimit is negative,
// else as unsigned.
bool belowLowerBound(const INTEGER& value);
bool aboveUpperBound(const INTEGER& value);
// A size n (bits, octets, characters or elements) against a size constraint.
bool sizeBelowLowerBound(unsigned n, const ConstrainedObject::InfoType& info);
bool sizeAboveUpperBound(unsigned n, const ConstrainedObject::InfoType& info);
// Both sides; unless strict, a size above an extendable upper bound passes.
bool sizeValid(unsigned n, const ConstrainedObject::InfoType& info, bool strict);
// Position of the first character outside the permitted set, or the length when every character
// is permitted. A string type with an empty set permits all.
std::size_t firstIllegalCharacter(const AbstractString& value);

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
    // The kind's own judgement, strict or not.
    template <class T>
    bool judged(const T& value) const
    {
        return strict_ ? value.isStrictlyValid() : value.isValid();
    }

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
