// Fuzz target: arbitrary bytes decoded as PER, in both variants. The first byte picks the type:
// the controller messages (LGCP::Message), the SNMP-agent messages (MON::Message), or a nested
// controller-message-shaped test schema (CHOICEs with extension alternatives, SEQUENCEs with
// optional components and extension additions, lists, every primitive kind); the rest is the
// encoding.
//
// The coders run the code generated for the message types; the visitor walk alone must read every
// input the same way (the same verdict, an equal value) and write every decoded value the same
// way (the same verdict, the same octets).
//
// Beyond "no crash, no sanitizer report", every input that decodes must survive a round trip:
// when the encoder accepts the decoded value (it refuses values outside their constraints, which
// the decoder lets through for the consumer to check), the octets it writes decode to an equal
// value that encodes to the same octets again. A decoded value that prints in value notation (a
// CHOICE alternative the decoder did not know does not) must read back from its print to an
// equal value, as the test controller prints answers and reads commands.

#include "asn1/modules/LGCP.h"
#include "asn1/modules/MON.h"
#include "asn1/per/per_test_schema.h"

#include "asn1/runtime/per_decoder.h"
#include "asn1/runtime/per_encoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <sstream>
#include <vector>

namespace {

using Info = const ASN1::AbstractData::InfoType*;

const Info types[] = {&LGCP::Message::theInfo, &MON::Message::theInfo, &PerSchema::Message};

void require(bool condition)
{
    if (!condition)
        std::abort();
}

std::unique_ptr<ASN1::AbstractData> make(Info type) { return std::unique_ptr<ASN1::AbstractData>(type->create(type)); }

// walk: the visitor walk alone, else the generated code where the types have some.
bool decode(const char* first, const char* last, ASN1::AbstractData& value, bool aligned, bool walk = false)
{
    ASN1::PERDecoder decoder(first, last, nullptr, aligned);
    return walk ? value.accept(decoder) : decoder.decode(value);
}

bool encode(const ASN1::AbstractData& value, std::vector<char>& out, bool aligned, bool walk = false)
{
    ASN1::PEREncoder encoder(out, aligned);
    return walk ? value.accept(encoder) : encoder.encode(value);
}

void requirePrintReadsBack(Info type, const ASN1::AbstractData& value)
{
    std::ostringstream printed;
    printed << value;
    if (!printed)
        return;
    const auto back = make(type);
    require(back->setFromValueNotation(printed.str()));
    require(*back == value);
}

void decodeMessage(Info type, const char* first, const char* last, bool aligned)
{
    const auto message = make(type);
    const auto walked = make(type);
    const bool decoded = decode(first, last, *message, aligned);
    require(decode(first, last, *walked, aligned, true) == decoded);
    if (!decoded)
        return;
    require(*walked == *message);
    requirePrintReadsBack(type, *message);
    std::vector<char> encoded;
    std::vector<char> written;
    const bool encodes = encode(*message, encoded, aligned);
    require(encode(*message, written, aligned, true) == encodes);
    if (!encodes)
        return;
    require(written == encoded);
    const auto again = make(type);
    require(decode(encoded.data(), encoded.data() + encoded.size(), *again, aligned));
    require(*again == *message);
    std::vector<char> reencoded;
    require(encode(*again, reencoded, aligned));
    require(reencoded == encoded);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const Info type = types[data[0] % std::size(types)];
    const char* first = reinterpret_cast<const char*>(data + 1);
    decodeMessage(type, first, first + size - 1, true);
    decodeMessage(type, first, first + size - 1, false);
    return 0;
}
