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

bool inEnumerationRoot(const ENUMERATED& value) { return value.getValue() >= 0 && value.getValue() <= value.getMaximum(); }

bool sizeBelowLowerBound(unsigned n, const ConstrainedObject::InfoType& info)
{
    return info.type != Unconstrained && info.lowerLimit > 0 && n < static_cast<unsigned>(info.lowerLimit);
}

bool sizeAboveUpperBound(unsigned n, const ConstrainedObject::InfoType& info) { return hasUpperBound(info) && n > info.upperLimit; }

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

std::size_t firstIllegalCharacter(const BMPString& value)
{
    const BMPString::InfoType& info = *value.info();
    const std::wstring& text = value.getValue();
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] < info.firstChar || text[i] > info.lastChar)
            return i;
    return text.size();
}

bool timeFieldsValid(const GeneralizedTime& value)
{
    return value.getYear() >= 1 && value.getMonth() >= 1 && value.getMonth() <= 12 && value.getDay() >= 1 &&
           value.getDay() <= 31 && value.getHour() >= 0 && value.getHour() <= 24 && value.getMinute() >= 0 &&
           value.getMinute() <= 59 && value.getSecond() >= 0 && value.getSecond() <= 59 && value.getMindiff() >= -720 &&
           value.getMindiff() <= 720;
}

}  // namespace validity

namespace detail {

bool ValidityChecker::sizeValid(unsigned n, const ConstrainedObject::InfoType& info) const
{
    if (validity::sizeBelowLowerBound(n, info))
        return false;
    return !validity::sizeAboveUpperBound(n, info) || (!strict_ && info.type == ExtendableConstraint);
}

bool ValidityChecker::do_visit(const INTEGER& value)
{
    if (!validity::belowLowerBound(value) && !validity::aboveUpperBound(value))
        return true;
    return !strict_ && value.info()->type == ExtendableConstraint;
}

bool ValidityChecker::do_visit(const ENUMERATED& value)
{
    if (validity::inEnumerationRoot(value))
        return true;
    return !strict_ && value.extendable() && value.getValue() >= 0;
}

bool ValidityChecker::do_visit(const OBJECT_IDENTIFIER& value) { return !value.getValue().empty(); }

bool ValidityChecker::do_visit(const BIT_STRING& value) { return sizeValid(value.size(), *value.info()); }

bool ValidityChecker::do_visit(const OCTET_STRING& value) { return sizeValid(value.size(), *value.info()); }

bool ValidityChecker::do_visit(const AbstractString& value)
{
    return sizeValid(value.size(), *value.info()) && validity::firstIllegalCharacter(value) == value.size();
}

bool ValidityChecker::do_visit(const BMPString& value)
{
    return sizeValid(value.size(), *value.info()) && validity::firstIllegalCharacter(value) == value.size();
}

bool ValidityChecker::do_visit(const CHOICE& value)
{
    const AbstractData* alternative = value.getSelection();
    const int selection = value.currentSelection();
    if (selection < 0 || !alternative)
        return false;
    if (static_cast<unsigned>(selection) >= value.info()->numRootAlternatives && (strict_ || !value.info()->extendable))
        return false;
    return alternative->accept(*this);
}

bool ValidityChecker::do_visit(const OpenData& value)
{
    if (const AbstractData* data = value.getData())
        return data->accept(*this);
    return value.has_buf();
}

bool ValidityChecker::do_visit(const GeneralizedTime& value) { return validity::timeFieldsValid(value); }

bool ValidityChecker::do_visit(const SEQUENCE_OF_Base& value)
{
    if (!sizeValid(value.size(), *value.info()))
        return false;
    for (const auto& element : value)
        if (!element->accept(*this))
            return false;
    return true;
}

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
