#include "asn1/runtime/validity_checker.h"

#include "asn1/runtime/abstract_string.h"
#include "asn1/runtime/bit_string.h"
#include "asn1/runtime/bmp_string.h"
#include "asn1/runtime/choice.h"
#include "asn1/runtime/enumerated.h"
#include "asn1/runtime/generalized_time.h"
#include "asn1/runtime/integer.h"
#include "asn1/runtime/object_identifier.h"
#include "asn1/runtime/octet_string.h"
#include "asn1/runtime/open_data.h"
#include "asn1/runtime/sequence.h"
#include "asn1/runtime/sequence_of.h"

#include <cstring>

namespace ASN1 {

namespace validity {

namespace {

// Only fixed and extendable constraints carry an upper bound.
bool hasUpperBound(const ConstrainedObject::InfoType& info)
{
    return info.type == FixedConstraint || info.type == ExtendableConstraint;
}

}  // namespace

bool belowLowerBound(const INTEGER& value)
{
    const ConstrainedObject::InfoType& info = *value.info();
    if (info.type == Unconstrained)
        return false;
    if (info.lowerLimit < 0)
        return value.getValue() < info.lowerLimit;
    return static_cast<unsigned>(value.getValue()) < static_cast<unsigned>(info.lowerLimit);
}

bool aboveUpperBound(const INTEGER& value)
{
    const ConstrainedObject::InfoType& info = *value.info();
    if (!hasUpperBound(info))
        return false;
    if (info.lowerLimit < 0)
        return value.getValue() > static_cast<int>(info.upperLimit);
    return static_cast<unsigned>(value.getValue()) > info.upperLimit;
}

bool sizeBelowLowerBound(unsigned n, const ConstrainedObject::InfoType& info)
{
    return info.type != Unconstrained && info.lowerLimit > 0 && n < static_cast<unsigned>(info.lowerLimit);
}

bool sizeAboveUpperBound(unsigned n, const ConstrainedObject::InfoType& info) { return hasUpperBound(info) && n > info.upperLimit; }

bool sizeValid(unsigned n, const ConstrainedObject::InfoType& info, bool strict)
{
    if (sizeBelowLowerBound(n, info))
        return false;
    return !sizeAboveUpperBound(n, info) || (!strict && info.type == ExtendableConstraint);
}

std::size_t firstIllegalCharacter(const AbstractString& value)
{
    const AbstractString::InfoType& info = *value.info();
    const std::string& text = value.getValue();
    if (info.characterSetSize == 0)
        return text.size();
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!std::memchr(info.characterSet, text[i], info.characterSetSize))
            return i;
    return text.size();
}

}  // namespace validity

namespace {

// A component judged by its own checker.
bool componentValid(const AbstractData& value, bool strict) { return strict ? value.isStrictlyValid() : value.isValid(); }

bool stringValid(const AbstractString& value, bool strict)
{
    return validity::sizeValid(value.size(), *value.info(), strict) && validity::firstIllegalCharacter(value) == value.size();
}

bool stringValid(const BMPString& value, bool strict)
{
    return validity::sizeValid(value.size(), *value.info(), strict) && value.first_illegal_at() == value.size();
}

bool choiceValid(const CHOICE& value, bool strict)
{
    const AbstractData* alternative = value.getSelection();
    const int selection = value.currentSelection();
    if (selection < 0 || !alternative)
        return false;
    if (static_cast<unsigned>(selection) >= value.info()->numRootAlternatives && (strict || !value.info()->extendable))
        return false;
    return componentValid(*alternative, strict);
}

bool listValid(const SEQUENCE_OF_Base& value, bool strict)
{
    if (!validity::sizeValid(value.size(), *value.info(), strict))
        return false;
    for (const auto& element : value)
        if (!componentValid(*element, strict))
            return false;
    return true;
}

bool openValid(const OpenData& value, bool strict)
{
    if (const AbstractData* data = value.getData())
        return componentValid(*data, strict);
    return value.has_buf();
}

}  // namespace

bool INTEGER::isStrictValid() const { return !validity::belowLowerBound(*this) && !validity::aboveUpperBound(*this); }

bool ENUMERATED::isStrictlyValid() const { return value_ >= 0 && value_ <= getMaximum(); }

bool AbstractString::isValid() const { return stringValid(*this, false); }

bool AbstractString::isStrictlyValid() const { return stringValid(*this, true); }

std::size_t BMPString::first_illegal_at() const
{
    for (std::size_t i = 0; i < text_.size(); ++i)
        if (!legalCharacter(text_[i]))
            return i;
    return text_.size();
}

bool BMPString::isValid() const { return stringValid(*this, false); }

bool BMPString::isStrictlyValid() const { return stringValid(*this, true); }

bool GeneralizedTime::isStrictlyValid() const
{
    return year_ >= 1 && month_ >= 1 && month_ <= 12 && day_ >= 1 && day_ <= 31 && hour_ >= 0 && hour_ <= 24 &&
           minute_ >= 0 && minute_ <= 59 && second_ >= 0 && second_ <= 59 && mindiff_ >= -720 && mindiff_ <= 720;
}

bool CHOICE::isValid() const { return choiceValid(*this, false); }

bool CHOICE::isStrictlyValid() const { return choiceValid(*this, true); }

bool SEQUENCE_OF_Base::isValid() const { return listValid(*this, false); }

bool SEQUENCE_OF_Base::isStrictlyValid() const { return listValid(*this, true); }

bool OpenData::isValid() const { return openValid(*this, false); }

bool OpenData::isStrictlyValid() const { return openValid(*this, true); }

namespace detail {

bool ValidityChecker::do_visit(const INTEGER& value)
{
    return value.isStrictValid() || (!strict_ && value.info()->type == ExtendableConstraint);
}

bool ValidityChecker::do_visit(const ENUMERATED& value)
{
    return value.isStrictlyValid() || (!strict_ && value.extendable() && value.getValue() >= 0);
}

bool ValidityChecker::do_visit(const OBJECT_IDENTIFIER& value) { return !value.getValue().empty(); }

bool ValidityChecker::do_visit(const BIT_STRING& value) { return validity::sizeValid(value.size(), *value.info(), strict_); }

bool ValidityChecker::do_visit(const OCTET_STRING& value) { return validity::sizeValid(value.size(), *value.info(), strict_); }

bool ValidityChecker::do_visit(const AbstractString& value) { return judged(value); }

bool ValidityChecker::do_visit(const BMPString& value) { return judged(value); }

bool ValidityChecker::do_visit(const CHOICE& value) { return judged(value); }

bool ValidityChecker::do_visit(const OpenData& value) { return judged(value); }

bool ValidityChecker::do_visit(const GeneralizedTime& value) { return value.isStrictlyValid(); }

bool ValidityChecker::do_visit(const SEQUENCE_OF_Base& value) { return judged(value); }

bool ValidityChecker::visitExtensionRoot(const SEQUENCE& seq, int index) { return seq.getField(index)->accept(*this); }

bool ValidityChecker::visitKnownExtension(const SEQUENCE& seq, int index) { return seq.getField(index)->accept(*this); }

}  // namespace detail

bool AbstractData::isValid() const
{
    ValidChecker checker;
    return accept(checker);
}

bool AbstractData::isStrictlyValid() const
{
    StrictlyValidChecker checker;
    return accept(checker);
}

}  // namespace ASN1
