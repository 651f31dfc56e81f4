#include "asn1/runtime/ber_decoder.h"

#include "asn1/runtime/abstract_string.h"
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

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

namespace ASN1 {

namespace {

constexpr unsigned ContextClass = 2;
// Length fields of more octets than this are refused.
constexpr unsigned MaxLengthOctets = 4;

// An INTEGER or ENUMERATED content. Four octets hold every value; a fifth leading zero octet is
// how an unsigned value from 2^31 on is written by other encoders.
template <class Number>
bool readNumber(Number& value, const char* content, unsigned length)
{
    const auto* p = reinterpret_cast<const unsigned char*>(content);
    if (length == 0 || length > 5 || (length == 5 && p[0] != 0))
        return false;
    std::uint32_t bits = (p[0] & 0x80) ? 0xffffffffu : 0;
    for (unsigned i = 0; i < length; ++i)
        bits = bits << 8 | p[i];
    value.setValue(static_cast<int>(bits));
    return true;
}

}  // namespace

BERDecoder::BERDecoder(const CoderEnv* env, const char* first, const char* last)
    : Visitor(env), position_(first), end_(last)
{
}

bool BERDecoder::decodeHeader(unsigned& tag, unsigned& length)
{
    const auto* p = reinterpret_cast<const unsigned char*>(position_);
    const auto* end = reinterpret_cast<const unsigned char*>(end_);
    if (p == end)
        return false;
    const unsigned char identifier = *p++;
    unsigned number = identifier & 0x1f;
    if (number == 0x1f) {
        number = 0;
        for (bool more = true; more;) {
            if (p == end)
                return false;
            more = (*p & 0x80) != 0;
            number = number << 7 | (*p++ & 0x7f);
            if (number > ber::MaxTagNumber)
                return false;
        }
    }
    tag = static_cast<unsigned>(identifier >> 6) << 22 | number;
    if (p == end)
        return false;
    const unsigned char first = *p++;
    if (first < 0x80 || first == 0x80) {
        // 0x80 is the indefinite form, which is never written: it reads as an empty content.
        length = first & 0x7f;
    } else {
        const unsigned octets = first & 0x7f;
        if (octets > MaxLengthOctets || static_cast<std::size_t>(end - p) < octets)
            return false;
        length = 0;
        for (unsigned i = 0; i < octets; ++i)
            length = length << 8 | *p++;
    }
    if (static_cast<std::size_t>(end - p) < length)
        return false;
    position_ = reinterpret_cast<const char*>(p);
    return true;
}

bool BERDecoder::peekHeader(unsigned& tag, const char*& contentEnd)
{
    const char* start = position_;
    unsigned length;
    if (!decodeHeader(tag, length))
        return false;
    contentEnd = position_ + length;
    position_ = start;
    return true;
}

bool BERDecoder::decodeHeader(const AbstractData& value, unsigned& length)
{
    const char* start = position_;
    unsigned tag;
    if (!decodeHeader(tag, length))
        return false;
    if (tag != value.info()->tag && tagSkip_ == 0) {
        position_ = start;
        return false;
    }
    tagSkip_ = 0;
    return true;
}

const char* BERDecoder::takeContent(const AbstractData& value, unsigned& length)
{
    if (!decodeHeader(value, length))
        return nullptr;
    const char* content = position_;
    position_ += length;
    return content;
}

bool BERDecoder::decodeWrapper(const AbstractData& value, const char*& wrapperEnd)
{
    wrapperEnd = nullptr;
    if (tagSkip_ == 0 && value.info()->tag == 0)
        return true;
    unsigned length;
    if (!decodeHeader(value, length))
        return false;
    wrapperEnd = position_ + length;
    return true;
}

bool BERDecoder::selectByTag(CHOICE& value, unsigned tag)
{
    const CHOICE::InfoType& info = *value.info();
    if (!info.selectionTags)
        return ber::tagClass(tag) == ContextClass && value.createSelection(static_cast<int>(ber::tagNumber(tag)));
    const unsigned* first = info.selectionTags;
    const unsigned* last = first + info.numRootAlternatives;
    const unsigned* found = std::lower_bound(first, last, tag);
    if (found != last && *found == tag)
        return value.createSelection(static_cast<int>(found - first));
    // An untagged CHOICE as the first alternative carries the tags of its own alternatives.
    if (first != last && *first == 0 && value.createSelection(0)) {
        auto* inner = dynamic_cast<CHOICE*>(value.getSelection());
        if (inner && selectByTag(*inner, tag))
            return true;
    }
    value.setSelection(-2, nullptr);
    return false;
}

bool BERDecoder::do_visit(Null& value)
{
    unsigned length;
    return takeContent(value, length) != nullptr;
}

bool BERDecoder::do_visit(BOOLEAN& value)
{
    unsigned length;
    const char* content = takeContent(value, length);
    if (!content)
        return false;
    if (length != 0)
        value.setValue(content[length - 1] != 0);
    return true;
}

bool BERDecoder::do_visit(INTEGER& value)
{
    unsigned length;
    const char* content = takeContent(value, length);
    return content && readNumber(value, content, length);
}

bool BERDecoder::do_visit(ENUMERATED& value)
{
    unsigned length;
    const char* content = takeContent(value, length);
    return content && readNumber(value, content, length);
}

bool BERDecoder::do_visit(OBJECT_IDENTIFIER& value)
{
    unsigned length;
    const char* content = takeContent(value, length);
    return content && value.decodeCommon(content, length);
}

bool BERDecoder::do_visit(OCTET_STRING& value)
{
    unsigned length;
    const char* content = takeContent(value, length);
    if (!content)
        return false;
    value.getValue().assign(content, content + length);
    return true;
}

bool BERDecoder::do_visit(BIT_STRING& value)
{
    unsigned length;
    const char* content = takeContent(value, length);
    if (!content || length == 0)
        return false;
    const unsigned unused = static_cast<unsigned char>(content[0]);
    if (unused > 7 || (length == 1 && unused != 0))
        return false;
    value.getValue().assign(std::vector<char>(content + 1, content + length), (length - 1) * 8 - unused);
    return true;
}

bool BERDecoder::do_visit(AbstractString& value)
{
    unsigned length;
    const char* content = takeContent(value, length);
    if (!content)
        return false;
    value.getValue().assign(content, length);
    return true;
}

bool BERDecoder::do_visit(BMPString& value)
{
    unsigned length;
    const char* content = takeContent(value, length);
    if (!content || length % 2 != 0)
        return false;
    std::wstring text;
    for (const char* p = content; p != content + length; p += 2)
        text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(p[0]) << 8 | static_cast<unsigned char>(p[1])));
    value.setValue(text);
    return true;
}

bool BERDecoder::do_visit(GeneralizedTime& value)
{
    unsigned length;
    const char* content = takeContent(value, length);
    return content && value.set(std::string(content, length));
}

bool BERDecoder::do_visit(CHOICE& value)
{
    const char* wrapperEnd;
    if (!decodeWrapper(value, wrapperEnd))
        return false;
    unsigned tag;
    const char* valueEnd;
    if (!peekHeader(tag, valueEnd))
        return false;
    if (wrapperEnd && valueEnd > wrapperEnd)
        return false;
    if (!selectByTag(value, tag))
        return false;
    tagSkip_ = ber::alternativeTag(*value.info(), value.currentSelection()) != 0 ? 1 : 0;
    if (!value.getSelection()->accept(*this) || position_ > valueEnd)
        return false;
    position_ = wrapperEnd ? wrapperEnd : valueEnd;
    return true;
}

bool BERDecoder::do_visit(SEQUENCE_OF_Base& value)
{
    unsigned length;
    if (!decodeHeader(value, length))
        return false;
    const char* contentEnd = position_ + length;
    value.clear();
    const AbstractData::InfoType& elementInfo = *value.info()->elementInfo;
    while (position_ < contentEnd) {
        const char* start = position_;
        std::unique_ptr<AbstractData> element(elementInfo.create(&elementInfo));
        if (!element->accept(*this) || position_ <= start || position_ > contentEnd)
            return false;
        value.append(element.release());
    }
    return true;
}

bool BERDecoder::do_visit(OpenData& value)
{
    const char* start = position_;
    const char* end;
    if (!decodeWrapper(value, end))
        return false;
    if (end) {
        // The wrapper's content is the contained value's whole encoding.
        start = position_;
    } else {
        unsigned tag;
        if (!peekHeader(tag, end))
            return false;
    }
    value.setBuf(std::vector<char>(start, end));
    position_ = end;
    return true;
}

bool BERDecoder::do_revisit(OpenData& value)
{
    const std::vector<char>* octets = value.getBuf();
    AbstractData* data = value.getData();
    if (!octets || !data)
        return false;
    BERDecoder inner(getEnv(), octets->data(), octets->data() + octets->size());
    return data->accept(inner);
}

bool BERDecoder::do_visit(TypeConstrainedOpenData& value)
{
    const char* wrapperEnd;
    AbstractData* data = value.getData();
    if (!data || !decodeWrapper(value, wrapperEnd) || !data->accept(*this))
        return false;
    if (wrapperEnd) {
        if (position_ > wrapperEnd)
            return false;
        position_ = wrapperEnd;
    }
    return true;
}

int BERDecoder::preVisitExtensionRoots(SEQUENCE& seq)
{
    unsigned length;
    if (!decodeHeader(seq, length))
        return Fail;
    ends_.push_back(position_ + length);
    return Continue;
}

int BERDecoder::readComponent(SEQUENCE& seq, int index, int optionalId)
{
    const SEQUENCE::InfoType& info = *seq.info();
    const bool optional = optionalId != -1;
    const char* contentEnd = ends_.back();
    if (position_ >= contentEnd)
        return optional ? Continue : Fail;
    const unsigned expected = ber::fieldTag(info, static_cast<unsigned>(index));
    const char* start = position_;
    unsigned tag;
    const char* fieldEnd;
    if (!peekHeader(tag, fieldEnd))
        return Fail;
    if (expected != 0 && tag != expected)
        return optional ? Continue : Fail;
    if (optional)
        seq.includeOptionalField(static_cast<unsigned>(optionalId), static_cast<unsigned>(index));
    AbstractData* field = seq.getField(static_cast<unsigned>(index));
    if (!field) {
        if (!optional)
            return Fail;
        seq.removeOptionalField(static_cast<unsigned>(optionalId));
        return Continue;
    }
    const std::size_t depth = ends_.size();
    tagSkip_ = info.fieldTags == SEQUENCE::defaultTag ? 0 : 1;
    if (field->accept(*this))
        return position_ > contentEnd ? Fail : Continue;
    if (!optional)
        return Fail;
    seq.removeOptionalField(static_cast<unsigned>(optionalId));
    if (expected != 0)
        return Fail;
    // An untagged optional field that does not read is absent: read on from where it started.
    position_ = start;
    ends_.resize(depth);
    tagSkip_ = 0;
    return Continue;
}

int BERDecoder::visitExtensionRoot(SEQUENCE& seq, int index, int optionalId) { return readComponent(seq, index, optionalId); }

int BERDecoder::visitKnownExtension(SEQUENCE& seq, int index, int optionalId) { return readComponent(seq, index, optionalId); }

bool BERDecoder::visitUnknownExtensions(SEQUENCE&)
{
    // Additions the type does not know are skipped.
    position_ = ends_.back();
    ends_.pop_back();
    return true;
}

}  // namespace ASN1
