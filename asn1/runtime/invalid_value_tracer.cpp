#include "asn1/runtime/invalid_value_tracer.h"

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
#include "asn1/runtime/validity_checker.h"
#include "asn1/runtime/value_notation_writer.h"

namespace ASN1 {

bool InvalidTracer::traceSize(std::string_view kind, unsigned n, const ConstrainedObject::InfoType& info)
{
    if (validity::sizeBelowLowerBound(n, info)) {
        text_ << " This " << kind << " has size " << n << " smaller than its lower bound " << info.lowerLimit;
        return false;
    }
    if (validity::sizeAboveUpperBound(n, info) && info.type != ExtendableConstraint) {
        text_ << " This " << kind << " has size " << n << " greater than its upper bound " << info.upperLimit;
        return false;
    }
    return true;
}

bool InvalidTracer::do_visit(const INTEGER& value)
{
    const ConstrainedObject::InfoType& info = *value.info();
    const bool below = validity::belowLowerBound(value);
    if (!below && (info.type == ExtendableConstraint || !validity::aboveUpperBound(value)))
        return true;
    text_ << " The INTEGER value ";
    if (info.lowerLimit < 0)
        text_ << value.getValue();
    else
        text_ << static_cast<unsigned>(value.getValue());
    if (below)
        text_ << " is smaller than lower bound " << info.lowerLimit;
    else
        text_ << " is greater than upper bound " << info.upperLimit;
    return false;
}

bool InvalidTracer::do_visit(const ENUMERATED& value)
{
    if (value.isStrictlyValid())
        return true;
    text_ << " This ENUMERATED has invalid value " << value.getValue();
    return false;
}

bool InvalidTracer::do_visit(const OBJECT_IDENTIFIER& value)
{
    if (!value.getValue().empty())
        return true;
    text_ << " This OBJECT IDENTIFIER is not assigned";
    return false;
}

bool InvalidTracer::do_visit(const BIT_STRING& value) { return traceSize("BIT STRING", value.size(), *value.info()); }

bool InvalidTracer::do_visit(const OCTET_STRING& value) { return traceSize("OCTET STRING", value.size(), *value.info()); }

bool InvalidTracer::do_visit(const AbstractString& value)
{
    if (!traceSize("AbstractString", value.size(), *value.info()))
        return false;
    const std::size_t at = validity::firstIllegalCharacter(value);
    if (at == value.size())
        return true;
    // Escaped like printed strings: the character may be a control byte.
    text_ << " The character '";
    put_escaped(text_, std::string_view(&value.getValue()[at], 1));
    text_ << "' is not valid for the string";
    return false;
}

bool InvalidTracer::do_visit(const BMPString& value)
{
    if (!traceSize("BMPString", value.size(), *value.info()))
        return false;
    const std::size_t at = value.first_illegal_at();
    if (at == value.size())
        return true;
    text_ << " The character '" << static_cast<unsigned long>(value.getValue()[at]) << "' is not valid for the string";
    return false;
}

bool InvalidTracer::do_visit(const CHOICE& value)
{
    const AbstractData* alternative = value.getSelection();
    if (value.currentSelection() == -2) {
        text_ << " This selection is not understood by this decoder";
        return false;
    }
    if (value.currentSelection() < 0 || !alternative) {
        text_ << " This CHOICE is not selected";
        return false;
    }
    InvalidTracer inner;
    if (alternative->accept(inner))
        return true;
    text_ << '.' << value.info()->selectionNames[value.currentSelection()] << inner.text();
    return false;
}

bool InvalidTracer::do_visit(const OpenData& value)
{
    if (const AbstractData* data = value.getData())
        return data->accept(*this);
    if (value.has_buf())
        return true;
    text_ << " This Open Type does not contain any valid data";
    return false;
}

bool InvalidTracer::do_visit(const GeneralizedTime& value)
{
    if (value.isStrictlyValid())
        return true;
    text_ << " This GeneralizedTime is not valid";
    return false;
}

bool InvalidTracer::do_visit(const SEQUENCE_OF_Base& value)
{
    if (!traceSize("SEQUENCE OF", value.size(), *value.info()))
        return false;
    for (unsigned i = 0; i < value.size(); ++i) {
        InvalidTracer element;
        if (!value[i].accept(element)) {
            text_ << '[' << i << ']' << element.text();
            return false;
        }
    }
    return true;
}

bool InvalidTracer::traceField(const SEQUENCE& seq, int index)
{
    InvalidTracer field;
    if (seq.getField(index)->accept(field))
        return true;
    text_ << '.' << seq.info()->fieldNames[index] << field.text();
    return false;
}

bool InvalidTracer::visitExtensionRoot(const SEQUENCE& seq, int index) { return traceField(seq, index); }

bool InvalidTracer::visitKnownExtension(const SEQUENCE& seq, int index) { return traceField(seq, index); }

bool trace_invalid(std::ostream& os, std::string_view prefix, const AbstractData& value)
{
    InvalidTracer tracer;
    if (value.accept(tracer))
        return true;
    os << prefix << tracer.text() << '\n';
    return false;
}

}  // namespace ASN1
