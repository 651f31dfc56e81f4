#include "asn1/runtime/per_encoder.h"

#include "asn1/runtime/abstract_string.h"
#include "asn1/runtime/bit_string.h"
#include "asn1/runtime/bmp_string.h"
#include "asn1/runtime/boolean.h"
#include "asn1/runtime/choice.h"
#include "asn1/runtime/enumerated.h"
#include "asn1/runtime/generalized_time.h"
#include "asn1/runtime/integer.h"
#include "asn1/runtime/object_identifier.h"
#include "asn1/runtime/octet_string.h"
#include "asn1/runtime/open_data.h"
#include "asn1/runtime/per_rules.h"
#include "asn1/runtime/sequence.h"
#include "asn1/runtime/sequence_of.h"
#include "asn1/runtime/utility.h"

#include <algorithm>

namespace ASN1 {

namespace {

// The addition bits the encoding carries: only those of additions the type knows, so a value
// decoded with additions from a newer peer re-encodes with the known ones alone.
unsigned knownExtensionBits(const SEQUENCE& seq)
{
    const SEQUENCE::InfoType& type = *seq.info();
    return type.extendable ? std::min(seq.extensionMap().size(), type.numKnownExtensions) : 0;
}

}  // namespace

bool PEREncoder::anyKnownAddition(const SEQUENCE& seq)
{
    const unsigned bits = knownExtensionBits(seq);
    for (unsigned k = 0; k < bits; ++k)
        if (seq.extensionMap()[k])
            return true;
    return false;
}

void PEREncoder::encodeBits(unsigned value, unsigned n)
{
    if (n == 0)
        return;
    // The low n bits go into the free bits of the last octet, then into whole octets, then into
    // the top of a new one.
    const std::uint64_t bits = value & ((std::uint64_t(1) << n) - 1);
    if (bitOffset_ != 8) {
        n -= bitOffset_;
        out_.back() = static_cast<char>(out_.back() | (bits >> n));
    }
    for (; n >= 8; n -= 8)
        out_.push_back(static_cast<char>(bits >> (n - 8)));
    bitOffset_ = static_cast<std::uint16_t>(8 - n);
    if (n > 0)
        out_.push_back(static_cast<char>(bits << bitOffset_));
}

void PEREncoder::encodeByte(unsigned value)
{
    byteAlign();
    out_.push_back(static_cast<char>(value));
}

void PEREncoder::encodeBlock(const char* data, unsigned n)
{
    if (n == 0)
        return;
    byteAlign();
    out_.insert(out_.end(), data, data + n);
}

void PEREncoder::encodeBitMap(const BitMap& bits, unsigned nbits)
{
    for (unsigned i = 0; nbits > 0; ++i) {
        const unsigned octet = i < bits.octetCount() ? static_cast<unsigned char>(bits.data()[i]) : 0;
        const unsigned take = std::min(nbits, 8u);
        encodeMultiBit(octet >> (8 - take), take);
        nbits -= take;
    }
}

void PEREncoder::encodeCountedNumber(unsigned offset, unsigned range)
{
    // The octet count k in 1..(bits + 7) / 8 as a small bit-field, then k aligned octets.
    const unsigned octets = offset == 0 ? 1 : (CountBits(offset + 1) + 7) / 8;
    encodeMultiBit(octets - 1, CountBits((CountBits(range) + 7) / 8));
    byteAlign();
    encodeMultiBit(offset, octets * 8);
}

bool PEREncoder::encodeLength(unsigned n, unsigned lower, unsigned upper)
{
    if (n < lower || n > upper || n >= per::FragmentSize)
        return false;
    if (!aligned_ && upper != per::UnboundedLength) {
        encodeMultiBit(n - lower, CountBits(upper - lower + 1));
    } else if (upper <= 65535) {
        encodeWholeNumber(n - lower, upper - lower + 1);
    } else if (n < 128) {
        encodeByte(n);
    } else {
        byteAlign();
        encodeMultiBit(0x8000 | n, 16);
    }
    return true;
}

void PEREncoder::encodeSmallUnsigned(unsigned value)
{
    if (value < 64) {
        encodeSingleBit(false);
        encodeMultiBit(value, 6);
        return;
    }
    encodeSingleBit(true);
    const unsigned octets = value < 0x100 ? 1 : value < 0x10000 ? 2 : value < 0x1000000 ? 3 : 4;
    encodeLength(octets, 0, per::UnboundedLength);
    encodeMultiBit(value, octets * 8);
}

bool PEREncoder::encodeConstraint(const ConstrainedObject& object, unsigned v)
{
    const ConstrainedObject::InfoType& type = *object.info();
    switch (type.type) {
    case FixedConstraint:
        return false;
    case ExtendableConstraint: {
        const bool outside = !withinBounds(type.type, type.lowerLimit, type.upperLimit, v);
        encodeSingleBit(outside);
        return outside;
    }
    default:
        return true;
    }
}

bool PEREncoder::encodeConstrainedLength(const ConstrainedObject& object, unsigned n)
{
    const ConstrainedObject::InfoType& type = *object.info();
    if (!encodeConstraint(object, n))
        return encodeLength(n, static_cast<unsigned>(type.lowerLimit), type.upperLimit);
    const unsigned lower = type.type == PartiallyConstrained ? static_cast<unsigned>(type.lowerLimit) : 0;
    return encodeLength(n, lower, per::UnboundedLength);
}

bool PEREncoder::encodeAnyType(const AbstractData* value)
{
    std::vector<char> contents;
    contents.reserve(256);
    if (value) {
        PEREncoder nested(contents);
        nested.viaCode_ = viaCode_;
        if (!nested.component(*value))
            return false;
    }
    return encodeOpenOctets(contents);
}

bool PEREncoder::encodeOpenOctets(const std::vector<char>& octets)
{
    static const char empty = 0;
    const char* data = octets.empty() ? &empty : octets.data();
    const unsigned n = octets.empty() ? 1 : static_cast<unsigned>(octets.size());
    if (octets.size() >= per::FragmentSize || !encodeLength(n, 0, per::UnboundedLength))
        return false;
    encodeBlock(data, n);
    return true;
}

bool PEREncoder::do_visit(const Null&) { return true; }

bool PEREncoder::do_visit(const BOOLEAN& value) { return encodeBoolean(value); }

bool PEREncoder::do_visit(const INTEGER& value)
{
    const ConstrainedObject::InfoType& type = *value.info();
    return encodeInteger(value, type.type, type.lowerLimit, type.upperLimit);
}

bool PEREncoder::do_visit(const ENUMERATED& value)
{
    const ENUMERATED::InfoType& type = *value.info();
    return encodeEnumerated(value, type.extendable, type.maxEnumValue);
}

bool PEREncoder::encodeEnumeratedAddition(unsigned value)
{
    // The value + 1 as a normally small number, then the value in [0, value].
    encodeSingleBit(true);
    encodeSmallUnsigned(value + 1);
    return encodeUnsigned(value, 0, value);
}

bool PEREncoder::do_visit(const OBJECT_IDENTIFIER& value)
{
    std::vector<char> contents;
    value.encodeCommon(contents);
    if (contents.size() > 255)
        return false;
    const unsigned n = static_cast<unsigned>(contents.size());
    encodeLength(n, 0, 255);
    encodeBlock(contents.data(), n);
    return true;
}

bool PEREncoder::do_visit(const BIT_STRING& value)
{
    const unsigned n = value.size();
    if (!encodeConstrainedLength(value, n))
        return false;
    const BitMap& bits = value.getValue();
    if (aligned_ && n > 16)
        encodeBlock(bits.data(), (n + 7) / 8);
    else
        encodeBitMap(bits, n);
    return true;
}

bool PEREncoder::do_visit(const OCTET_STRING& value)
{
    if (value.info()->type == Unconstrained)
        return encodeOctetString(value);
    const std::vector<char>& octets = value.getValue();
    const unsigned n = value.size();
    if (!encodeConstrainedLength(value, n))
        return false;
    if (n > 2) {
        encodeBlock(octets.data(), n);
        return true;
    }
    for (char octet : octets)
        encodeMultiBit(static_cast<unsigned char>(octet), 8);
    return true;
}

bool PEREncoder::do_visit(const AbstractString& value)
{
    const AbstractString::InfoType& type = *value.info();
    const std::string& text = value.getValue();
    const unsigned n = value.size();
    if (!encodeConstrainedLength(value, n))
        return false;
    const unsigned c = aligned_ ? type.charSetAlignedBits : type.charSetUnalignedBits;
    const bool block = per::stringIsBlock(type, c);
    const per::CharacterSet permitted(type);
    unsigned index = 0;
    if (block && c == 8) {
        // Raw octets, each still one of the permitted characters.
        if (!permitted.allOf(text))
            return false;
        encodeBlock(text.data(), n);
        return true;
    }
    if (block && aligned_ && n > 0)
        byteAlign();
    const bool codes = per::charactersAsCodes(type, c);
    for (char ch : text) {
        if (!permitted.indexOf(static_cast<unsigned char>(ch), index))
            return false;
        encodeMultiBit(codes ? static_cast<unsigned char>(ch) : index, c);
    }
    return true;
}

bool PEREncoder::do_visit(const BMPString& value)
{
    const BMPString::InfoType& type = *value.info();
    const unsigned n = value.size();
    if (!encodeConstrainedLength(value, n))
        return false;
    if (aligned_ && n > 0 && per::stringIsBlock(type, 16))
        byteAlign();
    for (wchar_t ch : value.getValue()) {
        if (ch < type.firstChar || ch > type.lastChar)
            return false;
        encodeMultiBit(static_cast<unsigned>(ch - type.firstChar), 16);
    }
    return true;
}

bool PEREncoder::do_visit(const CHOICE& value)
{
    const CHOICE::InfoType& type = *value.info();
    const AbstractData* alternative = value.getSelection();
    if (value.currentSelection() < 0 || !alternative)
        return false;
    const unsigned index = static_cast<unsigned>(value.currentSelection());
    if (index < type.numRootAlternatives) {
        encodeChoiceIndex(type.extendable, index, type.numRootAlternatives);
        return component(*alternative);
    }
    if (!type.extendable)
        return false;
    encodeSingleBit(true);
    encodeSmallUnsigned(index - type.numRootAlternatives);
    return encodeAnyType(alternative);
}

bool PEREncoder::do_visit(const OpenData& value)
{
    // A value decoded but never revisited still holds its encoding: it goes out unchanged.
    if (!value.has_data() && value.has_buf())
        return encodeOpenOctets(*value.getBuf());
    return encodeAnyType(value.getData());
}

bool PEREncoder::do_visit(const GeneralizedTime& value)
{
    const std::string text = value.get();
    const unsigned n = static_cast<unsigned>(text.size());
    if (!encodeLength(n, 0, per::UnboundedLength))
        return false;
    encodeBlock(text.data(), n);
    return true;
}

bool PEREncoder::do_visit(const SEQUENCE_OF_Base& value)
{
    if (value.size() > MaximumArraySize || !encodeConstrainedLength(value, value.size()))
        return false;
    for (const auto& element : value)
        if (!element || !component(*element))
            return false;
    return true;
}

bool PEREncoder::preVisitExtensionRoots(const SEQUENCE& seq)
{
    const SEQUENCE::InfoType& type = *seq.info();
    if (type.extendable)
        encodeSingleBit(anyKnownExtension(seq));
    encodeBitMap(seq.optionalMap(), type.numOptionalFields);
    return true;
}

bool PEREncoder::visitExtensionRoot(const SEQUENCE& seq, int index)
{
    return component(*seq.getField(static_cast<unsigned>(index)));
}

bool PEREncoder::preVisitExtensions(const SEQUENCE& seq)
{
    if (!anyKnownExtension(seq))
        return true;  // the extension bit was 0: nothing follows
    const unsigned bits = knownExtensionBits(seq);
    encodeSmallUnsigned(bits - 1);
    encodeBitMap(seq.extensionMap(), bits);
    return true;
}

bool PEREncoder::visitKnownExtension(const SEQUENCE& seq, int index)
{
    return encodeAnyType(seq.getField(static_cast<unsigned>(index)));
}

}  // namespace ASN1
