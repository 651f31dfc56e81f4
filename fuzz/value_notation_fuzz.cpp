// Feeds arbitrary text to the value-notation reader. The first octet picks the type to read into;
// a value that reads is judged and must print, and must read back from its print to an equal
// value that prints the same text.

#include "asn1/modules/LGCP.h"
#include "asn1/runtime/asn1.h"
#include "asn1/runtime/invalid_value_tracer.h"
#include "asn1/runtime/validity_checker.h"
#include "asn1/runtime/value_notation_reader.h"
#include "asn1/runtime/value_notation_writer.h"

#include "asn1/test_module.h"
#include "asn1/value_notation/message_shape.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

namespace {

using Info = const ASN1::AbstractData::InfoType*;

const Info types[] = {
    &LGCP::Message::theInfo,
    &Shape::Message,
    &Shape::RtpParams,
    &TestModule::Outer::theInfo,
    &ASN1::SEQUENCE_OF<TestModule::Outer>::theInfo,
    &TestModule::InnerCarrier_info,
    &TestModule::Level_info,
    &TestModule::Dscp::theInfo,
    &ASN1::OBJECT_IDENTIFIER::theInfo,
    &ASN1::BIT_STRING::theInfo,
    &ASN1::BMPString::theInfo,
    &ASN1::GeneralizedTime::theInfo,
};

std::unique_ptr<ASN1::AbstractData> read(Info type, const std::string& text)
{
    std::unique_ptr<ASN1::AbstractData> value(type->create(type));
    return value->setFromValueNotation(text) ? std::move(value) : nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const Info type = types[data[0] % std::size(types)];
    const auto value = read(type, std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    if (!value)
        return 0;

    value->isValid();
    value->isStrictlyValid();
    std::ostringstream trace;
    ASN1::trace_invalid(trace, "", *value);

    std::ostringstream printed;
    printed << *value;
    if (!printed)
        __builtin_trap();
    const auto back = read(type, printed.str());
    if (!back || *back != *value || back->asValueNotation() != printed.str())
        __builtin_trap();
    return 0;
}
