#include "asn1/runtime/per_decoder.h"

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
#include <climits>
#include <cstring>
#include <string>

namespace ASN1 {

template <class Octets>
bool PERDecoder::decodeOctets(Octets& octets, unsigned n)
{
    const char* first = takeBlock(n);
    if (!first)
        return false;
    octets.assign(first, first + n);
    return true;
}

unsigned PERDecoder::decodeBlock(char* buf, unsigned n)
{
    if (n == 0)
        return 0;
    byteAlign();
    const unsigned count = static_cast<unsigned>(std::min<std::size_t>(n, static_cast<std::size_t>(end_ - position_)));
    std::memcpy(buf, position_, count);
    position_ += count;
    return count;
}

bool PERDecoder::decodeLongBitMap(BitMap& bits, unsigned nbits)
{
    if (getBitsLeft() < nbits)
        return false;
    char* octets = bits.fill(nbits);
    for (unsigned i = 0; nbits > 0; ++i) {
        const unsigned take = std::min(nbits, 8u);
        unsigned octet = 0;
        decodeMultiBit(take, octet);
        octets[i] = static_cast<char>(octet << (8 - take));
        nbits -= take;
    }
    return true;
}

void PERDecoder::setPosition(const char* p)
{
    position_ = std::min(p, end_);
    used_ = 0;
}

bool PERDecoder::decodeLength(unsigned lower, unsigned upper, unsigned& n)
{
    std::uint64_t length = 0;
    unsigned field = 0;
    if (!aligned_ && upper != per::UnboundedLength) {
        if (!decodeMultiBit(CountBits(upper - lower + 1), field))
            return false;
        length = std::uint64_t(lower) + field;
    } else if (upper <= 65535) {
        if (!decodeWholeNumber(upper - lower + 1, field))
            return false;
        length = std::uint64_t(lower) + field;
    } else {
        if (!decodeUnboundedLength(field))
            return false;
        length = field;
    }
    if (length < lower || length > upper)
        return false;
    n = static_cast<unsigned>(length);
    return true;
}

bool PERDecoder::decodeSmallUnsigned(unsigned& value)
{
    bool large = false;
    if (!decodeSingleBit(large))
        return false;
    if (!large)
        return decodeMultiBit(6, value);
    unsigned octets = 0;
    return decodeLength(0, per::UnboundedLength, octets) && octets >= 1 && octets <= 4 &&
           decodeMultiBit(octets * 8, value);
}

bool PERDecoder::decodeConstrainedLength(const ConstrainedObject& object, unsigned& n)
{
    const ConstrainedObject::InfoType& type = *object.info();
    const unsigned lower = static_cast<unsigned>(type.lowerLimit);
    switch (type.type) {
    case FixedConstraint:
        return decodeLength(lower, type.upperLimit, n);
    case ExtendableConstraint: {
        bool outside = false;
        if (!decodeSingleBit(outside))
            return false;
        return outside ? decodeLength(0, per::UnboundedLength, n) : decodeLength(lower, type.upperLimit, n);
    }
    default:
        return decodeLength(type.type == PartiallyConstrained ? lower : 0, per::UnboundedLength, n);
    }
}

bool PERDecoder::decodeAdditionIndex(unsigned numRoot, unsigned numAlternatives, unsigned& index,
                                     const char*& openTypeEnd)
{
    unsigned addition = 0;
    if (!decodeSmallUnsigned(addition) || addition >= numAlternatives - numRoot || !decodeOpenTypeEnd(openTypeEnd))
        return false;
    index = numRoot + addition;
    return true;
}

bool PERDecoder::selectAlternative(CHOICE& value, unsigned index)
{
    return (value.currentSelection() == static_cast<int>(index) && value.getSelection()) ||
           value.createSelection(static_cast<int>(index));
}

bool PERDecoder::decodeChoicePreamle(CHOICE& value, memento_type& openTypeEnd)
{
    const CHOICE::InfoType& type = *value.info();
    unsigned selection = 0;
    openTypeEnd = {nullptr, 8};
    return decodeChoiceIndex(type.extendable, type.numRootAlternatives, type.numAlternatives, selection,
                             openTypeEnd.position) &&
           selectAlternative(value, selection);
}

bool PERDecoder::decodeAdditionalAlternative(CHOICE& value, unsigned index, const char* openTypeEnd)
{
    return selectAlternative(value, index) && decodeWithin(*value.getSelection(), openTypeEnd);
}

bool PERDecoder::decodeIntegerField(unsigned& octets, unsigned& bits)
{
    return decodeUnboundedLength(octets) && octets <= 4 && decodeMultiBit(octets * 8, bits);
}

bool PERDecoder::decodeOpenTypeEnd(const char*& contentEnd)
{
    unsigned n = 0;
    // The unbounded length leaves the decoder on an octet boundary.
    if (!decodeLength(0, per::UnboundedLength, n) || n > static_cast<std::size_t>(end_ - position_))
        return false;
    contentEnd = position_ + n;
    return true;
}

bool PERDecoder::decodeWithin(AbstractData& value, const char* contentEnd)
{
    const char* const outerEnd = end_;
    const bool outerAligned = aligned_;
    const std::uint64_t outerTail = tail_;
    end_ = contentEnd;
    tail_ = lastOctets(begin_, end_);
    aligned_ = true;
    const bool ok = component(value);
    end_ = outerEnd;
    tail_ = outerTail;
    aligned_ = outerAligned;
    setPosition(contentEnd);
    return ok;
}

bool PERDecoder::skipOpenType()
{
    const char* contentEnd = nullptr;
    if (!decodeOpenTypeEnd(contentEnd))
        return false;
    setPosition(contentEnd);
    return true;
}

bool PERDecoder::do_visit(Null&) { return true; }

bool PERDecoder::do_visit(BOOLEAN& value) { return decodeBoolean(value); }

bool PERDecoder::do_visit(INTEGER& value)
{
    const ConstrainedObject::InfoType& type = *value.info();
    return decodeInteger(value, type.type, type.lowerLimit, type.upperLimit);
}

bool PERDecoder::do_visit(ENUMERATED& value)
{
    const ENUMERATED::InfoType& type = *value.info();
    return decodeEnumerated(value, type.extendable, type.maxEnumValue);
}

bool PERDecoder::decodeEnumeratedAddition(ENUMERATED& value)
{
    // The value + 1 as a normally small number, then the value in [0, value].
    unsigned count = 0;
    unsigned number = 0;
    if (!decodeSmallUnsigned(count) || count == 0 || !decodeUnsigned(0, count - 1, number) || number >= count ||
        number > unsigned(INT_MAX))
        return false;
    value.setValue(static_cast<int>(number));
    return true;
}

bool PERDecoder::do_visit(OBJECT_IDENTIFIER& value)
{
    unsigned n = 0;
    const char* contents = nullptr;
    return decodeLength(0, 255, n) && (contents = takeBlock(n)) && value.decodeCommon(contents, n);
}

bool PERDecoder::do_visit(OCTET_STRING& value)
{
    if (value.info()->type == Unconstrained)
        return decodeOctetString(value);
    unsigned n = 0;
    if (!decodeConstrainedLength(value, n) || n > MaximumStringSize)
        return false;
    std::vector<char>& octets = value.getValue();
    if (n > 2)
        return decodeOctets(octets, n);
    // One or two octets are bit-fields, never aligned.
    if (getBitsLeft() < n * 8)
        return false;
    octets.resize(n);
    for (char& octet : octets) {
        unsigned bits = 0;
        decodeMultiBit(8, bits);
        octet = static_cast<char>(bits);
    }
    return true;
}

bool PERDecoder::do_visit(BIT_STRING& value)
{
    unsigned n = 0;
    if (!decodeConstrainedLength(value, n) || n > MaximumStringSize || getBitsLeft() < n)
        return false;
    BitMap& bits = value.getValue();
    if (!aligned_ || n <= 16)
        return decodeBitMap(bits, n);
    const unsigned count = (n + 7) / 8;
    char* octets = bits.fill(n);
    if (decodeBlock(octets, count) != count)
        return false;
    // The last octet's bits beyond the string are padding.
    octets[count - 1] = static_cast<char>(octets[count - 1] & 0xff00 >> (n % 8 ? n % 8 : 8));
    return true;
}

bool PERDecoder::do_visit(AbstractString& value)
{
    const AbstractString::InfoType& type = *value.info();
    std::string& text = value.getValue();
    unsigned n = 0;
    const bool ok = [&] {
        if (!decodeConstrainedLength(value, n) || n > MaximumStringSize)
            return false;
        const unsigned c = aligned_ ? type.charSetAlignedBits : type.charSetUnalignedBits;
        const bool block = per::stringIsBlock(type, c);
        // Characters that travel as their own codes are taken as they come, outside the permitted
        // set too (a peer's Latin-1 or UTF-8 name): only the encoder and the checkers hold a value
        // to its set. An index must still point into the set.
        if (block && c == 8)
            return decodeOctets(text, n);
        if (block && aligned_ && n > 0)
            byteAlign();
        if (getBitsLeft() < std::uint64_t(n) * c)
            return false;
        text.resize(n);
        const bool codes = per::charactersAsCodes(type, c);
        for (char& ch : text) {
            unsigned bits = 0;
            decodeMultiBit(c, bits);
            if (codes ? bits > 0xff : bits >= type.characterSetSize)
                return false;
            ch = codes ? static_cast<char>(bits) : type.characterSet[bits];
        }
        return true;
    }();
    if (!ok)
        text.clear();
    return ok;
}

bool PERDecoder::do_visit(BMPString& value)
{
    const BMPString::InfoType& type = *value.info();
    std::wstring& text = value.getValue();
    unsigned n = 0;
    if (!decodeConstrainedLength(value, n) || n > MaximumStringSize)
        return false;
    if (aligned_ && n > 0 && per::stringIsBlock(type, 16))
        byteAlign();
    if (getBitsLeft() < std::uint64_t(n) * 16)
        return false;
    text.resize(n);
    for (wchar_t& ch : text) {
        unsigned bits = 0;
        decodeMultiBit(16, bits);
        ch = static_cast<wchar_t>(type.firstChar + bits);
        if (ch > type.lastChar) {
            text.clear();
            return false;
        }
    }
    return true;
}

bool PERDecoder::do_visit(CHOICE& value)
{
    memento_type openTypeEnd{};
    if (!decodeChoicePreamle(value, openTypeEnd))
        return false;
    AbstractData& alternative = *value.getSelection();
    return openTypeEnd.position ? decodeWithin(alternative, openTypeEnd.position) : component(alternative);
}

bool PERDecoder::do_visit(SEQUENCE_OF_Base& value)
{
    unsigned n = 0;
    if (!decodeConstrainedLength(value, n) || n > MaximumArraySize)
        return false;
    value.resize(n);
    for (unsigned i = 0; i < n; ++i) {
        if (!component(value[i])) {
            value.erase(value.begin() + i, value.end());
            return false;
        }
    }
    return true;
}

bool PERDecoder::do_visit(OpenData& value)
{
    unsigned n = 0;
    std::vector<char> octets;
    if (!decodeLength(0, per::UnboundedLength, n) || !decodeOctets(octets, n))
        return false;
    value.setBuf(std::move(octets));
    return true;
}

bool PERDecoder::do_revisit(OpenData& value)
{
    if (!value.has_buf() || !value.has_data())
        return false;
    const std::vector<char>& octets = *value.getBuf();
    PERDecoder nested(octets.data(), octets.data() + octets.size(), getEnv());
    nested.viaCode_ = viaCode_;
    return nested.component(*value.getData());
}

bool PERDecoder::do_visit(TypeConstrainedOpenData& value)
{
    const char* contentEnd = nullptr;
    return value.has_data() && decodeOpenTypeEnd(contentEnd) && decodeWithin(*value.getData(), contentEnd);
}

bool PERDecoder::do_visit(GeneralizedTime& value)
{
    unsigned n = 0;
    std::string text;
    return decodeLength(0, per::UnboundedLength, n) && n > 0 && decodeOctets(text, n) && value.set(text);
}

int PERDecoder::preVisitExtensionRoots(SEQUENCE& seq)
{
    const SEQUENCE::InfoType& type = *seq.info();
    bool extension = false;
    if ((type.extendable && !decodeSingleBit(extension)) || !decodeBitMap(seq.optionalMap(), type.numOptionalFields))
        return Fail;
    return extension ? Continue : RootsOnly;
}

int PERDecoder::visitExtensionRoot(SEQUENCE& seq, int index, int optionalId)
{
    if (optionalId != -1 && !seq.optionalMap()[static_cast<unsigned>(optionalId)])
        return Continue;
    AbstractData* field = seq.makeField(static_cast<unsigned>(index));
    return field && component(*field) ? Continue : Fail;
}

int PERDecoder::preVisitExtensions(SEQUENCE& seq)
{
    unsigned last = 0;
    // The count is checked before the 1 is added to it.
    if (!decodeSmallUnsigned(last) || last >= MaximumArraySize || !decodeBitMap(seq.extensionMap(), last + 1))
        return Fail;
    return Continue;
}

int PERDecoder::visitKnownExtension(SEQUENCE& seq, int index, int optionalId)
{
    if (!seq.hasOptionalField(static_cast<unsigned>(optionalId)))
        return Continue;
    const char* contentEnd = nullptr;
    if (!decodeOpenTypeEnd(contentEnd))
        return Fail;
    AbstractData* field = seq.makeField(static_cast<unsigned>(index));
    if (!field) {
        setPosition(contentEnd);
        return Continue;
    }
    return decodeWithin(*field, contentEnd) ? Continue : Fail;
}

bool PERDecoder::visitUnknownExtensions(SEQUENCE& seq)
{
    const SEQUENCE::BitMap& present = seq.extensionMap();
    for (unsigned k = seq.info()->numKnownExtensions; k < present.size(); ++k)
        if (present[k] && !skipOpenType())
            return false;
    return true;
}

}  // namespace ASN1
