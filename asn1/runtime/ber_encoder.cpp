#include "asn1/runtime/ber_encoder.h"

#include "asn1/runtime/abstract_string.h"
#include "asn1/runtime/ber_length.h"
#include "asn1/runtime/ber_tags.h"
#include "asn1/runtime/bit_string.h"
#include "asn1/runtime/bmp_string.h"
#include "asn1/runtime/boolean.h"
#include "asn1/runtime/choice.h"
#include "asn1/runtime/enumerated.h"
#include "asn1/runtime/generalized_time.h"
#include "asn1/runtime/integer.h"
#include "asn1/runtime/null.h"
#include "asn1/runtime/object_identifier.h"
#include "asn1/runtime/octet_string.h"
#include "asn1/runtime/open_data.h"
#include "asn1/runtime/sequence.h"
#include "asn1/runtime/sequence_of.h"

namespace ASN1 {

namespace {

// Finds primitive values: everything but SEQUENCE, SEQUENCE OF, SET OF and the CHOICEs and open
// types (those get a header only when tagged, and a tagged one is constructed).
class PrimitiveChecker : public ConstVisitor {
protected:
    bool do_visit(const CHOICE&) override { return false; }
    bool do_visit(const OpenData&) override { return false; }
    bool do_visit(const SEQUENCE_OF_Base&) override { return false; }
    bool preVisitExtensionRoots(const SEQUENCE&) override { return false; }
};

bool isPrimitive(const AbstractData& value)
{
    PrimitiveChecker checker;
    return value.accept(checker);
}

}  // namespace

void BEREncoder::encodeHeader(const AbstractData& value)
{
    const unsigned tag = tag_ == ber::OwnTag ? value.info()->tag : tag_;
    if (tag == 0)
        return;
    const unsigned number = ber::tagNumber(tag);
    const unsigned char form = static_cast<unsigned char>(ber::tagClass(tag) << 6 | (isPrimitive(value) ? 0 : 0x20));
    if (number < 31) {
        out_.push_back(static_cast<char>(form | number));
    } else {
        out_.push_back(static_cast<char>(form | 0x1f));
        for (int shift = static_cast<int>(ber::identifierOctets(tag) - 2) * 7; shift >= 0; shift -= 7)
            out_.push_back(static_cast<char>((shift ? 0x80 : 0) | ((number >> shift) & 0x7f)));
    }
    const unsigned length = getDataLength(value);
    if (length < 128) {
        out_.push_back(static_cast<char>(length));
    } else {
        const unsigned octets = ber::lengthOctets(length) - 1;
        out_.push_back(static_cast<char>(0x80 | octets));
        for (int shift = static_cast<int>(octets - 1) * 8; shift >= 0; shift -= 8)
            out_.push_back(static_cast<char>(length >> shift));
    }
}

void BEREncoder::putInteger(int value)
{
    const unsigned bits = static_cast<unsigned>(value);
    for (int shift = static_cast<int>(getIntegerDataLength(value) - 1) * 8; shift >= 0; shift -= 8)
        out_.push_back(static_cast<char>(bits >> shift));
}

bool BEREncoder::do_visit(const Null& value)
{
    encodeHeader(value);
    return true;
}

bool BEREncoder::do_visit(const BOOLEAN& value)
{
    encodeHeader(value);
    out_.push_back(static_cast<char>(value.getValue() ? 0xff : 0x00));
    return true;
}

bool BEREncoder::do_visit(const INTEGER& value)
{
    encodeHeader(value);
    putInteger(value.getValue());
    return true;
}

bool BEREncoder::do_visit(const ENUMERATED& value)
{
    encodeHeader(value);
    putInteger(value.getValue());
    return true;
}

bool BEREncoder::do_visit(const OBJECT_IDENTIFIER& value)
{
    encodeHeader(value);
    value.encodeCommon(out_);
    return true;
}

bool BEREncoder::do_visit(const BIT_STRING& value)
{
    encodeHeader(value);
    out_.push_back(static_cast<char>((8 - value.size() % 8) % 8));
    const BitMap& bits = value.getValue();
    out_.insert(out_.end(), bits.data(), bits.data() + bits.octetCount());
    return true;
}

bool BEREncoder::do_visit(const OCTET_STRING& value)
{
    encodeHeader(value);
    out_.insert(out_.end(), value.getValue().begin(), value.getValue().end());
    return true;
}

bool BEREncoder::do_visit(const AbstractString& value)
{
    encodeHeader(value);
    out_.insert(out_.end(), value.getValue().begin(), value.getValue().end());
    return true;
}

bool BEREncoder::do_visit(const BMPString& value)
{
    encodeHeader(value);
    for (const wchar_t c : value.getValue()) {
        out_.push_back(static_cast<char>(static_cast<unsigned>(c) >> 8));
        out_.push_back(static_cast<char>(c));
    }
    return true;
}

bool BEREncoder::do_visit(const GeneralizedTime& value)
{
    encodeHeader(value);
    const std::string text = value.get();
    out_.insert(out_.end(), text.begin(), text.end());
    return true;
}

bool BEREncoder::do_visit(const CHOICE& value)
{
    const AbstractData* alternative = value.getSelection();
    if (value.currentSelection() < 0 || !alternative)
        return false;
    // Untagged unless a tag was given to it or its type has one: then the tag wraps it.
    if (tag_ != 0 && !(tag_ == ber::OwnTag && value.info()->tag == 0))
        encodeHeader(value);
    tag_ = ber::alternativeTag(*value.info(), value.currentSelection());
    return alternative->accept(*this);
}

bool BEREncoder::do_visit(const OpenData& value)
{
    if (tag_ == ber::OwnTag)
        tag_ = value.info()->tag;
    if (tag_ != 0)
        encodeHeader(value);
    tag_ = ber::OwnTag;
    if (const AbstractData* data = value.getData())
        return data->accept(*this);
    if (const std::vector<char>* octets = value.getBuf()) {
        out_.insert(out_.end(), octets->begin(), octets->end());
        return true;
    }
    return false;
}

bool BEREncoder::do_visit(const SEQUENCE_OF_Base& value)
{
    encodeHeader(value);
    for (const auto& element : value) {
        tag_ = ber::OwnTag;
        if (!element->accept(*this))
            return false;
    }
    return true;
}

bool BEREncoder::preVisitExtensionRoots(const SEQUENCE& seq)
{
    encodeHeader(seq);
    return true;
}

bool BEREncoder::visitExtensionRoot(const SEQUENCE& seq, int index)
{
    tag_ = ber::fieldTag(*seq.info(), index);
    return seq.getField(index)->accept(*this);
}

bool BEREncoder::visitKnownExtension(const SEQUENCE& seq, int index) { return visitExtensionRoot(seq, index); }

}  // namespace ASN1
