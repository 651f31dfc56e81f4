#include "asn1/runtime/value_notation_writer.h"

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

#include <algorithm>
#include <sstream>
#include <string>

namespace ASN1 {

namespace {

const char hexDigits[] = "0123456789abcdef";

// Numbers go out as decimal text whatever the stream's format flags.
template <class Number>
void putNumber(std::ostream& os, Number number)
{
    const std::string text = std::to_string(number);
    os.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void putText(std::ostream& os, std::string_view text) { os.write(text.data(), static_cast<std::streamsize>(text.size())); }

void putQuoted(std::ostream& os, std::string_view text)
{
    os.put('"');
    put_escaped(os, text);
    os.put('"');
}

}  // namespace

void put_escaped(std::ostream& os, std::string_view text)
{
    for (const char c : text) {
        const unsigned char octet = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            const char escaped[] = {'\\', c};
            os.write(escaped, 2);
        } else if (octet < 0x20 || octet >= 0x7f) {
            const char escaped[] = {'\\', 'x', hexDigits[octet >> 4], hexDigits[octet & 0x0f]};
            os.write(escaped, 4);
        } else {
            os.put(c);
        }
    }
}

void AVNEncoder::indent(int spaces)
{
    for (int i = 0; i < spaces; ++i)
        os_.put(' ');
}

bool AVNEncoder::putOctets(const std::vector<char>& octets)
{
    os_.put('\'');
    for (std::size_t i = 0; i < octets.size() && os_.good(); ++i) {
        if (i != 0)
            os_.put(' ');
        const unsigned char octet = static_cast<unsigned char>(octets[i]);
        os_.put(hexDigits[octet >> 4]);
        os_.put(hexDigits[octet & 0x0f]);
    }
    if (os_.good())
        putText(os_, "'H");
    return os_.good();
}

bool AVNEncoder::do_visit(const Null&)
{
    putText(os_, "NULL");
    return os_.good();
}

bool AVNEncoder::do_visit(const BOOLEAN& value)
{
    putText(os_, value.getValue() ? "TRUE" : "FALSE");
    return os_.good();
}

bool AVNEncoder::do_visit(const INTEGER& value)
{
    const ConstrainedObject::InfoType& info = *value.info();
    if (info.type != Unconstrained && info.lowerLimit >= 0)
        putNumber(os_, static_cast<unsigned>(value.getValue()));
    else
        putNumber(os_, value.getValue());
    return os_.good();
}

bool AVNEncoder::do_visit(const IntegerWithNamedNumber& value)
{
    std::string name;
    if (!value.getName(name))
        return do_visit(static_cast<const INTEGER&>(value));
    putText(os_, name);
    return os_.good();
}

bool AVNEncoder::do_visit(const ENUMERATED& value)
{
    const std::string_view name = value.getName();
    if (name.empty())
        putNumber(os_, value.getValue());
    else
        putText(os_, name);
    return os_.good();
}

bool AVNEncoder::do_visit(const OBJECT_IDENTIFIER& value)
{
    putText(os_, "{ ");
    for (auto arc = value.getValue().begin(); arc != value.getValue().end() && os_.good(); ++arc) {
        putNumber(os_, *arc);
        os_.put(' ');
    }
    os_.put('}');
    return os_.good();
}

bool AVNEncoder::do_visit(const BIT_STRING& value)
{
    os_.put('\'');
    for (unsigned i = 0; i < value.size() && os_.good(); ++i)
        os_.put(value.getValue()[i] ? '1' : '0');
    if (os_.good())
        putText(os_, "'B");
    return os_.good();
}

bool AVNEncoder::do_visit(const OCTET_STRING& value) { return putOctets(value.getValue()); }

bool AVNEncoder::do_visit(const AbstractString& value)
{
    putQuoted(os_, value.getValue());
    return os_.good();
}

bool AVNEncoder::do_visit(const BMPString& value)
{
    const std::wstring& text = value.getValue();
    if (std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= 0 && c <= 0x7f; })) {
        putQuoted(os_, std::string(text.begin(), text.end()));
        return os_.good();
    }
    // Characters beyond ASCII as {group, plane, row, cell} quadruples.
    os_.put('{');
    for (std::size_t i = 0; i < text.size() && os_.good(); ++i) {
        if (i != 0)
            putText(os_, ", ");
        putText(os_, "{ 0, 0, ");
        putNumber(os_, static_cast<unsigned long>(text[i]) >> 8);
        putText(os_, ", ");
        putNumber(os_, static_cast<unsigned long>(text[i]) & 0xff);
        os_.put('}');
    }
    if (os_.good())
        os_.put('}');
    return os_.good();
}

bool AVNEncoder::do_visit(const CHOICE& value)
{
    const AbstractData* alternative = value.getSelection();
    if (value.currentSelection() < 0 || !alternative)
        return false;
    putText(os_, value.info()->selectionNames[value.currentSelection()]);
    putText(os_, " : ");
    return alternative->accept(*this);
}

bool AVNEncoder::do_visit(const OpenData& value)
{
    if (const AbstractData* data = value.getData())
        return data->accept(*this);
    if (const std::vector<char>* octets = value.getBuf())
        return putOctets(*octets);
    return false;
}

bool AVNEncoder::do_visit(const GeneralizedTime& value)
{
    putQuoted(os_, value.get());
    return os_.good();
}

bool AVNEncoder::do_visit(const SEQUENCE_OF_Base& value)
{
    const int outer = indentation_;
    putText(os_, "{\n");
    indentation_ = outer + 2;
    for (unsigned i = 0; i < value.size() && os_.good(); ++i) {
        indent(indentation_);
        if (!value[i].accept(*this))
            return false;
        if (i + 1 != value.size())
            putText(os_, ",\n");
    }
    indentation_ = outer;
    if (!value.empty())
        os_.put('\n');
    indent(outer);
    os_.put('}');
    return os_.good();
}

bool AVNEncoder::preVisitExtensionRoots(const SEQUENCE&)
{
    fieldWritten_.push_back(false);
    putText(os_, "{\n");
    return os_.good();
}

bool AVNEncoder::visitExtensionRoot(const SEQUENCE& seq, int index)
{
    if (fieldWritten_.back())
        putText(os_, ",\n");
    indent(indentation_ + 2);
    putText(os_, seq.info()->fieldNames[index]);
    os_.put(' ');
    indentation_ += 2;
    if (!seq.getField(index)->accept(*this))
        return false;
    indentation_ -= 2;
    fieldWritten_.back() = true;
    return true;
}

bool AVNEncoder::visitKnownExtension(const SEQUENCE& seq, int index) { return visitExtensionRoot(seq, index); }

bool AVNEncoder::afterVisitSequence(const SEQUENCE&)
{
    if (fieldWritten_.back())
        os_.put('\n');
    fieldWritten_.pop_back();
    indent(indentation_);
    os_.put('}');
    return os_.good();
}

std::ios_base::iostate AbstractData::print_on(std::ostream& os) const
{
    AVNEncoder writer(os);
    return accept(writer) ? std::ios_base::goodbit : std::ios_base::failbit;
}

std::string AbstractData::asValueNotation() const
{
    std::ostringstream text;
    AVNEncoder writer(text);
    accept(writer);
    return text.str();
}

std::ostream& operator<<(std::ostream& os, const AbstractData& value)
{
    if (!os.good())
        return os;
    const std::ostream::sentry sentry(os);
    if (sentry)
        run_stream_io(os, [&] {
            os.width(0);
            return value.print_on(os);
        });
    return os;
}

}  // namespace ASN1
