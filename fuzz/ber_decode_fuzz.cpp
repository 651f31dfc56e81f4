// Feeds arbitrary octets to the BER decoder. The first octet picks the type to decode into; a
// value that decodes is judged, printed and encoded again with the counted length, and that
// encoding must decode to an equal value.

#include "fuzz/typed_input.h"

#include "asn1/runtime/ber_decoder.h"
#include "asn1/runtime/ber_encoder.h"
#include "asn1/runtime/ber_length.h"
#include "asn1/runtime/ber_tags.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

using fuzz::Info;

const std::vector<Info> types = fuzz::reader_types({&TestModule::Pick::theInfo, &ASN1::OpenData::theInfo});

std::unique_ptr<ASN1::AbstractData> decode(Info type, const char* first, const char* last)
{
    std::unique_ptr<ASN1::AbstractData> value(type->create(type));
    ASN1::BERDecoder reader(nullptr, first, last);
    return value->accept(reader) ? std::move(value) : nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto input = fuzz::typed_input(types, data, size);
    if (!input)
        return 0;
    const auto value = decode(input->type, input->first, input->last);
    if (!value)
        return 0;

    fuzz::judge(*value);
    value->asValueNotation();

    std::vector<char> encoding;
    ASN1::BEREncoder writer(encoding);
    if (!value->accept(writer) || encoding.size() != ASN1::getObjectLength(*value, ASN1::ber::OwnTag))
        __builtin_trap();
    const auto back = decode(input->type, encoding.data(), encoding.data() + encoding.size());
    if (!back || *back != *value)
        __builtin_trap();
    return 0;
}
