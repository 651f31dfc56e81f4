// Feeds arbitrary octets to the BER decoder. The first octet picks the type to decode into; a
// value that decodes is judged, printed and encoded again with the counted length, and that
// encoding must decode to an equal value.

#include "asn1/modules/LGCP.h"
#include "asn1/runtime/asn1.h"
#include "asn1/runtime/ber_decoder.h"
#include "asn1/runtime/ber_encoder.h"
#include "asn1/runtime/ber_length.h"
#include "asn1/runtime/ber_tags.h"
#include "asn1/runtime/invalid_value_tracer.h"
#include "asn1/runtime/validity_checker.h"

#include "asn1/test_module.h"
#include "asn1/value_notation/message_shape.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <sstream>
#include <vector>

namespace {

using Info = const ASN1::AbstractData::InfoType*;

const Info types[] = {
    &LGCP::Message::theInfo,
    &Shape::Message,
    &Shape::RtpParams,
    &TestModule::Outer::theInfo,
    &ASN1::SEQUENCE_OF<TestModule::Outer>::theInfo,
    &TestModule::Pick::theInfo,
    &TestModule::InnerCarrier_info,
    &TestModule::Level_info,
    &ASN1::OpenData::theInfo,
    &ASN1::OBJECT_IDENTIFIER::theInfo,
    &ASN1::BIT_STRING::theInfo,
    &ASN1::BMPString::theInfo,
    &ASN1::GeneralizedTime::theInfo,
};

std::unique_ptr<ASN1::AbstractData> decode(Info type, const char* first, const char* last)
{
    std::unique_ptr<ASN1::AbstractData> value(type->create(type));
    ASN1::BERDecoder reader(nullptr, first, last);
    return value->accept(reader) ? std::move(value) : nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const Info type = types[data[0] % std::size(types)];
    const char* first = reinterpret_cast<const char*>(data + 1);
    const auto value = decode(type, first, first + size - 1);
    if (!value)
        return 0;

    value->isValid();
    value->isStrictlyValid();
    std::ostringstream trace;
    ASN1::trace_invalid(trace, "", *value);
    value->asValueNotation();

    std::vector<char> encoding;
    ASN1::BEREncoder writer(encoding);
    if (!value->accept(writer) || encoding.size() != ASN1::getObjectLength(*value, ASN1::ber::OwnTag))
        __builtin_trap();
    const auto back = decode(type, encoding.data(), encoding.data() + encoding.size());
    if (!back || *back != *value)
        __builtin_trap();
    return 0;
}
