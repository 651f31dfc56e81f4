#include "asn1/runtime/value_notation_reader.h"

#include "asn1/runtime/abstract_string.h"
#include "asn1/runtime/bit_string.h"
#include "asn1/runtime/bmp_string.h"
#include "asn1/runtime/boolean.h"
#include "asn1/runtime/choice.h"
#include "asn1/runtime/enumerated.h"
#include "asn1/runtime/generalized_time.h"
#include "asn1/runtime/integer_with_named_number.h"
#include "asn1/runtime/null.h"
#include "asn1/runtime/object_identifier.h"
#include "asn1/runtime/octet_string.h"
#include "asn1/runtime/open_data.h"
#include "asn1/runtime/sequence.h"
#include "asn1/runtime/sequence_of.h"
#include "asn1/runtime/value_notation_stream.h"

#include <cstdint>
#include <memory>
#include <sstream>
#include <string_view>

namespace ASN1 {

namespace {

bool isBlank(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool isDigit(int c) { return c >= '0' && c <= '9'; }
bool isLetter(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
// Characters that end a word even without white space; standing first, each is a word itself.
bool endsWord(int c) { return c == ',' || c == '}' || c == ':'; }

// Value of c as a digit of base 16 (or of a smaller base), or 16 when it is none.
unsigned digitValue(int c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 16;
}

int peekNonBlank(std::istream& is)
{
    for (;;) {
        const int c = is.peek();
        if (c == std::istream::traits_type::eof() || !isBlank(c))
            return c;
        is.get();
    }
}

// The next non-blank character, consumed; eof when there is none.
int getNonBlank(std::istream& is)
{
    const int c = peekNonBlank(is);
    if (c != std::istream::traits_type::eof())
        is.get();
    return c;
}

// Reads the characters up to `close`, which is consumed; false when the input ends first.
bool readUpTo(std::istream& is, char close, std::string& text)
{
    text.clear();
    for (int c = is.get(); c != close; c = is.get()) {
        if (c == std::istream::traits_type::eof())
            return false;
        text.push_back(static_cast<char>(c));
    }
    return true;
}

// A whole unsigned 32-bit decimal number.
bool parseUnsigned(std::string_view digits, unsigned& value)
{
    if (digits.empty())
        return false;
    std::uint64_t number = 0;
    for (const char c : digits) {
        if (!isDigit(c))
            return false;
        number = number * 10 + (c - '0');
        if (number > 0xffffffffu)
            return false;
    }
    value = static_cast<unsigned>(number);
    return true;
}

// An arc: a number, or a name with its number in parentheses such as iso(1).
bool parseArc(std::string_view word, unsigned& arc)
{
    if (isDigit(word.front()))
        return parseUnsigned(word, arc);
    const std::size_t open = word.find('(');
    if (open == std::string_view::npos || word.back() != ')')
        return false;
    return parseUnsigned(word.substr(open + 1, word.size() - open - 2), arc);
}

// Whether every root field from index `from` on is optional, so that the SEQUENCE may end.
bool restIsOptional(const SEQUENCE& seq, unsigned from)
{
    const SEQUENCE::InfoType& info = *seq.info();
    for (unsigned i = from; i < info.numRootFields; ++i)
        if (info.fieldIds[i] == -1)
            return false;
    return true;
}

// Letters only, for the keywords NULL, TRUE and FALSE.
std::string readLetters(std::istream& is)
{
    std::string word;
    for (int c = peekNonBlank(is); isLetter(c); c = is.peek()) {
        word.push_back(static_cast<char>(c));
        is.get();
    }
    return word;
}

}  // namespace

bool get_string(std::istream& is, std::string& text)
{
    if (getNonBlank(is) != '"')
        return false;
    text.clear();
    for (;;) {
        const int c = is.get();
        if (c == std::istream::traits_type::eof())
            return false;
        if (c == '"')
            return true;
        if (c != '\\') {
            text.push_back(static_cast<char>(c));
            continue;
        }
        const int escaped = is.get();
        if (escaped == '\\' || escaped == '"') {
            text.push_back(static_cast<char>(escaped));
        } else if (escaped == 'x') {
            const unsigned high = digitValue(is.get());
            const unsigned low = digitValue(is.get());
            if (high > 15 || low > 15)
                return false;
            text.push_back(static_cast<char>(high << 4 | low));
        } else {
            return false;
        }
    }
}

bool get_from_string(const std::string& digits, std::vector<char>& octets, unsigned& digitCount, int base)
{
    std::string kept;
    for (const char c : digits)
        if (!isBlank(c))
            kept.push_back(c);
    digitCount = static_cast<unsigned>(kept.size());
    const std::size_t group = base == 2 ? 8 : 2;
    kept.resize((kept.size() + group - 1) / group * group, '0');
    for (std::size_t at = 0; at < kept.size(); at += group) {
        unsigned octet = 0;
        for (std::size_t i = at; i < at + group; ++i) {
            const unsigned digit = digitValue(kept[i]);
            if (digit >= static_cast<unsigned>(base))
                return false;
            octet = octet * base + digit;
        }
        octets.push_back(static_cast<char>(octet));
    }
    return true;
}

bool get_value_from(std::istream& is, std::vector<char>& octets, unsigned& bitCount)
{
    std::string digits;
    if (getNonBlank(is) != '\'' || !readUpTo(is, '\'', digits))
        return false;
    const int kind = getNonBlank(is);
    if (kind != 'B' && kind != 'H')
        return false;
    const int base = kind == 'B' ? 2 : 16;
    std::vector<char> value;
    unsigned digitCount;
    if (!get_from_string(digits, value, digitCount, base))
        return false;
    octets.swap(value);
    bitCount = base == 2 ? digitCount : digitCount * 4;
    return true;
}

bool get_id(const char* const* names, unsigned count, const std::string& name, unsigned& index)
{
    for (unsigned i = 0; i < count; ++i) {
        if (name == names[i]) {
            index = i;
            return true;
        }
    }
    return false;
}

int AVNDecoder::peekNonBlank() { return ASN1::peekNonBlank(is_); }

bool AVNDecoder::expect(char wanted)
{
    if (peekNonBlank() != wanted)
        return false;
    is_.get();
    return true;
}

bool AVNDecoder::readWord(std::string& word)
{
    word.clear();
    int c = peekNonBlank();
    if (c == std::istream::traits_type::eof())
        return false;
    if (endsWord(c)) {
        word.push_back(static_cast<char>(is_.get()));
        return true;
    }
    for (; c != std::istream::traits_type::eof() && !isBlank(c) && !endsWord(c); c = is_.peek())
        word.push_back(static_cast<char>(is_.get()));
    return true;
}

bool AVNDecoder::readInteger(bool isUnsigned, int& value)
{
    int c = peekNonBlank();
    const bool negative = !isUnsigned && c == '-';
    if (negative) {
        is_.get();
        c = is_.peek();
    }
    if (!isDigit(c))
        return false;
    const std::uint64_t limit = isUnsigned ? 0xffffffffu : negative ? 0x80000000u : 0x7fffffffu;
    std::uint64_t number = 0;
    for (; isDigit(c); c = is_.peek()) {
        number = number * 10 + (is_.get() - '0');
        if (number > limit)
            return false;
    }
    value = static_cast<int>(static_cast<std::uint32_t>(negative ? 0 - number : number));
    return true;
}

bool AVNDecoder::do_visit(Null&) { return readLetters(is_) == "NULL"; }

bool AVNDecoder::do_visit(BOOLEAN& value)
{
    const std::string word = readLetters(is_);
    if (word != "TRUE" && word != "FALSE")
        return false;
    value.setValue(word == "TRUE");
    return true;
}

bool AVNDecoder::do_visit(INTEGER& value)
{
    const ConstrainedObject::InfoType& info = *value.info();
    int number;
    if (!readInteger(info.type != Unconstrained && info.lowerLimit >= 0, number))
        return false;
    value.setValue(number);
    return true;
}

bool AVNDecoder::do_visit(IntegerWithNamedNumber& value)
{
    const int c = peekNonBlank();
    if (isDigit(c) || c == '-')
        return do_visit(static_cast<INTEGER&>(value));
    std::string name;
    return readWord(name) && value.setFromName(name);
}

bool AVNDecoder::do_visit(ENUMERATED& value)
{
    const int c = peekNonBlank();
    if (isDigit(c) || c == '-') {
        int number;
        if (!readInteger(false, number))
            return false;
        value.setValue(number);
        return true;
    }
    std::string name;
    return readWord(name) && value.setFromName(name);
}

bool AVNDecoder::do_visit(OBJECT_IDENTIFIER& value)
{
    std::string text;
    if (!expect('{') || !readUpTo(is_, '}', text))
        return false;
    std::vector<unsigned> arcs;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        unsigned arc;
        if (!parseArc(word, arc))
            return false;
        arcs.push_back(arc);
    }
    value.getValue().swap(arcs);
    return true;
}

bool AVNDecoder::do_visit(OCTET_STRING& value)
{
    unsigned bits;
    return get_value_from(is_, value.getValue(), bits);
}

bool AVNDecoder::do_visit(BIT_STRING& value)
{
    std::vector<char> octets;
    unsigned bits;
    if (!get_value_from(is_, octets, bits))
        return false;
    value.getValue().assign(octets, bits);
    return true;
}

bool AVNDecoder::do_visit(AbstractString& value) { return get_string(is_, value.getValue()); }

bool AVNDecoder::do_visit(BMPString& value)
{
    std::wstring wide;
    if (peekNonBlank() == '{') {
        if (!readQuadruples(wide))
            return false;
    } else {
        std::string text;
        if (!get_string(is_, text))
            return false;
        for (const char c : text) {
            if (static_cast<unsigned char>(c) > 0x7f)
                return false;
            wide.push_back(static_cast<wchar_t>(c));
        }
    }
    value.setValue(wide);
    return true;
}

bool AVNDecoder::readQuadruples(std::wstring& wide)
{
    if (!expect('{'))
        return false;
    if (expect('}'))
        return true;
    do {
        if (!expect('{'))
            return false;
        unsigned cell[4];
        for (unsigned i = 0; i < 4; ++i) {
            int number;
            if ((i != 0 && !expect(',')) || !readInteger(true, number))
                return false;
            cell[i] = static_cast<unsigned>(number);
        }
        // Group and plane 0: the basic multilingual plane, row and cell one octet each.
        if (!expect('}') || cell[0] != 0 || cell[1] != 0 || cell[2] > 0xff || cell[3] > 0xff)
            return false;
        wide.push_back(static_cast<wchar_t>(cell[2] << 8 | cell[3]));
    } while (expect(','));
    return expect('}');
}

bool AVNDecoder::do_visit(GeneralizedTime& value)
{
    std::string text;
    return get_string(is_, text) && value.set(text);
}

bool AVNDecoder::do_visit(CHOICE& value)
{
    std::string name;
    unsigned index;
    if (!readWord(name) || !expect(':') || !get_id(value.info()->selectionNames, value.info()->numAlternatives, name, index))
        return false;
    const int selection = static_cast<int>(index);
    if ((selection != value.currentSelection() || !value.getSelection()) && !value.createSelection(selection))
        return false;
    return value.getSelection()->accept(*this);
}

bool AVNDecoder::do_visit(SEQUENCE_OF_Base& value)
{
    if (!expect('{') || peekNonBlank() == std::istream::traits_type::eof())
        return false;
    value.clear();
    if (expect('}'))
        return true;
    const AbstractData::InfoType& elementInfo = *value.info()->elementInfo;
    for (;;) {
        std::unique_ptr<AbstractData> element(elementInfo.create(&elementInfo));
        if (!element->accept(*this))
            return false;
        value.append(element.release());
        const int separator = getNonBlank(is_);
        if (separator == '}')
            return true;
        if (separator != ',')
            return false;
    }
}

bool AVNDecoder::do_visit(OpenData&) { return false; }

bool AVNDecoder::do_revisit(OpenData&) { return false; }

bool AVNDecoder::do_visit(TypeConstrainedOpenData& value)
{
    AbstractData* data = value.getData();
    return data && data->accept(*this);
}

int AVNDecoder::preVisitExtensionRoots(SEQUENCE& seq)
{
    if (!expect('{'))
        return Fail;
    if (expect('}'))
        return restIsOptional(seq, 0) ? Finished : Fail;
    return readWord(name_) ? Continue : Fail;
}

int AVNDecoder::readField(SEQUENCE& seq, int index, int optionalId)
{
    if (name_ != seq.info()->fieldNames[index])
        return optionalId == -1 ? Fail : Continue;
    if (optionalId != -1)
        seq.includeOptionalField(static_cast<unsigned>(optionalId), static_cast<unsigned>(index));
    AbstractData* field = seq.getField(static_cast<unsigned>(index));
    if (!field || !field->accept(*this))
        return Fail;
    switch (getNonBlank(is_)) {
    case ',':
        return readWord(name_) ? Continue : Fail;
    case '}':
        return restIsOptional(seq, static_cast<unsigned>(index) + 1) ? Finished : Fail;
    default:
        return Fail;
    }
}

int AVNDecoder::visitExtensionRoot(SEQUENCE& seq, int index, int optionalId) { return readField(seq, index, optionalId); }

int AVNDecoder::visitKnownExtension(SEQUENCE& seq, int index, int optionalId) { return readField(seq, index, optionalId); }

bool AVNDecoder::visitUnknownExtensions(SEQUENCE&) { return name_ == "}"; }

std::ios_base::iostate AbstractData::get_from(std::istream& is)
{
    AVNDecoder reader(is);
    return accept(reader) ? std::ios_base::goodbit : std::ios_base::failbit;
}

bool AbstractData::setFromValueNotation(const std::string& text)
{
    std::istringstream is(text);
    AVNDecoder reader(is);
    return accept(reader);
}

std::istream& operator>>(std::istream& is, AbstractData& value)
{
    if (!is.good())
        return is;
    const std::istream::sentry sentry(is);
    if (sentry)
        run_stream_io(is, [&] { return value.get_from(is); });
    return is;
}

}  // namespace ASN1
