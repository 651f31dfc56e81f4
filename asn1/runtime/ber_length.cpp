#include "asn1/runtime/ber_length.h"

#include "asn1/runtime/abstract_string.h"
#include "asn1/runtime/ber_tags.h"
#include "asn1/runtime/bit_string.h"
#include "asn1/runtime/bmp_string.h"
#include "asn1/runtime/choice.h"
#include "asn1/runtime/const_visitor.h"
#include "asn1/runtime/enumerated.h"
#include "asn1/runtime/generalized_time.h"
#include "asn1/runtime/integer.h"
#include "asn1/runtime/object_identifier.h"
#include "asn1/runtime/octet_string.h"
#include "asn1/runtime/open_data.h"
#include "asn1/runtime/sequence.h"
#include "asn1/runtime/sequence_of.h"

namespace ASN1 {

namespace {

// Sums the content octets of one value; components count with their headers.
class DataLengthCounter : public ConstVisitor {
public:
    unsigned sum() const { return sum_; }

protected:
    bool do_visit(const BOOLEAN&) override { return add(1); }
    bool do_visit(const INTEGER& value) override { return add(getIntegerDataLength(value.getValue())); }
    bool do_visit(const ENUMERATED& value) override { return add(getIntegerDataLength(value.getValue())); }
    bool do_visit(const OBJECT_IDENTIFIER& value) override
    {
        std::vector<char> contents;
        value.encodeCommon(contents);
        return add(static_cast<unsigned>(contents.size()));
    }
    bool do_visit(const BIT_STRING& value) override { return add(1 + (value.size() + 7) / 8); }
    bool do_visit(const OCTET_STRING& value) override { return add(value.size()); }
    bool do_visit(const AbstractString& value) override { return add(value.size()); }
    bool do_visit(const BMPString& value) override { return add(2 * value.size()); }
    bool do_visit(const GeneralizedTime& value) override { return add(static_cast<unsigned>(value.get().size())); }
    bool do_visit(const CHOICE& value) override
    {
        const AbstractData* alternative = value.getSelection();
        if (value.currentSelection() < 0 || !alternative)
            return true;
        return add(getObjectLength(*alternative, ber::alternativeTag(*value.info(), value.currentSelection())));
    }
    bool do_visit(const OpenData& value) override
    {
        if (const AbstractData* data = value.getData())
            return add(getObjectLength(*data, ber::OwnTag));
        return add(value.getBuf() ? static_cast<unsigned>(value.getBuf()->size()) : 0);
    }
    bool do_visit(const SEQUENCE_OF_Base& value) override
    {
        for (const auto& element : value)
            add(getObjectLength(*element, ber::OwnTag));
        return true;
    }
    bool visitExtensionRoot(const SEQUENCE& seq, int index) override { return addField(seq, index); }
    bool visitKnownExtension(const SEQUENCE& seq, int index) override { return addField(seq, index); }

private:
    bool add(unsigned octets)
    {
        sum_ += octets;
        return true;
    }
    bool addField(const SEQUENCE& seq, int index)
    {
        return add(getObjectLength(*seq.getField(index), ber::fieldTag(*seq.info(), index)));
    }

    unsigned sum_ = 0;
};

}  // namespace

unsigned getIntegerDataLength(int value)
{
    if (value >= -0x80 && value < 0x80)
        return 1;
    if (value >= -0x8000 && value < 0x8000)
        return 2;
    if (value >= -0x800000 && value < 0x800000)
        return 3;
    return 4;
}

unsigned getDataLength(const AbstractData& value)
{
    DataLengthCounter counter;
    value.accept(counter);
    return counter.sum();
}

unsigned getObjectLength(const AbstractData& value, unsigned tag)
{
    if (tag == ber::OwnTag)
        tag = value.info()->tag;
    const unsigned length = getDataLength(value);
    if (tag == 0)
        return length;
    return ber::identifierOctets(tag) + ber::lengthOctets(length) + length;
}

}  // namespace ASN1
