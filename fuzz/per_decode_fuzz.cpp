// Fuzz target: arbitrary bytes decoded as PER, in both variants, against a nested
// controller-message-shaped schema (CHOICEs with extension alternatives, SEQUENCEs with optional
// components and extension additions, lists, every primitive kind).
//
// Beyond "no crash, no sanitizer report", every input that decodes must survive a round trip:
// when the encoder accepts the decoded value (it refuses values outside their constraints, which
// the decoder lets through for the consumer to check), the octets it writes decode to an equal
// value that encodes to the same octets again.

#include "asn1/per/per_test_schema.h"

#include "asn1/runtime/per_decoder.h"
#include "asn1/runtime/per_encoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

bool decode(const char* first, const char* last, ASN1::AbstractData& value, bool aligned)
{
    ASN1::PERDecoder decoder(first, last, nullptr, aligned);
    return value.accept(decoder);
}

bool encode(const ASN1::AbstractData& value, std::vector<char>& out, bool aligned)
{
    ASN1::PEREncoder encoder(out, aligned);
    return value.accept(encoder);
}

void decodeMessage(const char* first, const char* last, bool aligned)
{
    ASN1::SEQUENCE message = PerSchema::newMessage();
    std::vector<char> encoded;
    if (!decode(first, last, message, aligned) || !encode(message, encoded, aligned))
        return;
    ASN1::SEQUENCE again = PerSchema::newMessage();
    require(decode(encoded.data(), encoded.data() + encoded.size(), again, aligned));
    require(again == message);
    std::vector<char> reencoded;
    require(encode(again, reencoded, aligned));
    require(reencoded == encoded);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const char* first = reinterpret_cast<const char*>(data);
    decodeMessage(first, first + size, true);
    decodeMessage(first, first + size, false);
    return 0;
}
