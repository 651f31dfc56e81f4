#include "tools/asn1_random/erlang_term_writer.h"

#include "asn1/gen/asn1_export.h"
#include "asn1/runtime/abstract_string.h"
#include "asn1/runtime/boolean.h"
#include "asn1/runtime/choice.h"
#include "asn1/runtime/enumerated.h"
#include "asn1/runtime/integer.h"
#include "asn1/runtime/null.h"
#include "asn1/runtime/octet_string.h"
#include "asn1/runtime/sequence.h"
#include "asn1/runtime/sequence_of.h"

#include <cstring>

namespace asn1random {

namespace {

// Whether some name of the ENUMERATED carries its own number, which makes the export code the
// type as an INTEGER range.
bool numberedNames(const ASN1::ENUMERATED::InfoType& type)
{
    for (unsigned i = 0; i < type.nameCount; ++i) {
        if (std::strchr(type.names[i], '='))
            return true;
    }
    return false;
}

}  // namespace

bool ErlangTermWriter::write(const ASN1::AbstractData& value, std::string& term)
{
    out_.str("");
    nextField_.clear();
    if (!value.accept(*this))
        return false;
    term = out_.str();
    return true;
}

void ErlangTermWriter::atom(const std::string& name)
{
    out_ << '\'';
    for (char c : name) {
        if (c == '\'' || c == '\\')
            out_ << '\\';
        out_ << c;
    }
    out_ << '\'';
}

bool ErlangTermWriter::do_visit(const ASN1::AbstractData&) { return false; }

bool ErlangTermWriter::do_visit(const ASN1::Null&)
{
    out_ << "'NULL'";
    return true;
}

bool ErlangTermWriter::do_visit(const ASN1::BOOLEAN& value)
{
    out_ << (value.getValue() ? "true" : "false");
    return true;
}

bool ErlangTermWriter::do_visit(const ASN1::INTEGER& value)
{
    const ASN1::ConstrainedObject::InfoType& type = *value.info();
    if (type.type != ASN1::Unconstrained && type.lowerLimit >= 0)
        out_ << static_cast<unsigned>(value.getValue());
    else
        out_ << value.getValue();
    return true;
}

bool ErlangTermWriter::do_visit(const ASN1::ENUMERATED& value)
{
    if (numberedNames(*value.info())) {
        out_ << value.getValue();
        return true;
    }
    const std::string_view name = value.getName();
    if (name.empty())
        return false;
    atom(asn1gen::standard_name(std::string(name)));
    return true;
}

bool ErlangTermWriter::do_visit(const ASN1::OCTET_STRING& value)
{
    out_ << "<<";
    const char* separator = "";
    for (char octet : value.getValue()) {
        out_ << separator << static_cast<unsigned>(static_cast<unsigned char>(octet));
        separator = ",";
    }
    out_ << ">>";
    return true;
}

bool ErlangTermWriter::do_visit(const ASN1::AbstractString& value)
{
    out_ << '[';
    const char* separator = "";
    for (char c : value.getValue()) {
        out_ << separator << static_cast<unsigned>(static_cast<unsigned char>(c));
        separator = ",";
    }
    out_ << ']';
    return true;
}

bool ErlangTermWriter::do_visit(const ASN1::CHOICE& value)
{
    const ASN1::AbstractData* alternative = value.getSelection();
    if (value.currentSelection() < 0 || !alternative)
        return false;
    out_ << '{';
    atom(asn1gen::standard_name(value.info()->selectionNames[value.currentSelection()]));
    out_ << ',';
    if (!alternative->accept(*this))
        return false;
    out_ << '}';
    return true;
}

bool ErlangTermWriter::do_visit(const ASN1::SEQUENCE_OF_Base& value)
{
    out_ << '[';
    const char* separator = "";
    for (const auto& element : value) {
        out_ << separator;
        if (!element->accept(*this))
            return false;
        separator = ",";
    }
    out_ << ']';
    return true;
}

bool ErlangTermWriter::preVisitExtensionRoots(const ASN1::SEQUENCE& seq)
{
    const auto record = records_.find(seq.info());
    if (record == records_.end())
        return false;
    out_ << '{';
    atom(record->second);
    nextField_.push_back(0);
    return true;
}

void ErlangTermWriter::skipTo(unsigned index)
{
    for (unsigned& next = nextField_.back(); next < index; ++next)
        out_ << ",asn1_NOVALUE";
}

bool ErlangTermWriter::visitExtensionRoot(const ASN1::SEQUENCE& seq, int index)
{
    skipTo(static_cast<unsigned>(index));
    out_ << ',';
    // The nested value may open records of its own, so the position is taken before.
    ++nextField_.back();
    return seq.getField(static_cast<unsigned>(index))->accept(*this);
}

bool ErlangTermWriter::visitKnownExtension(const ASN1::SEQUENCE& seq, int index)
{
    return visitExtensionRoot(seq, index);
}

bool ErlangTermWriter::afterVisitSequence(const ASN1::SEQUENCE& seq)
{
    skipTo(seq.info()->numRootFields + seq.info()->numKnownExtensions);
    nextField_.pop_back();
    out_ << '}';
    return true;
}

}  // namespace asn1random
