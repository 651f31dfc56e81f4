#pragma once

// Short hands of the PER tests: octet vectors from numbers, and one-call encode and decode.

#include "asn1/runtime/abstract_data.h"
#include "asn1/runtime/per_decoder.h"
#include "asn1/runtime/per_encoder.h"

#include <initializer_list>
#include <vector>

namespace PerTest {

inline std::vector<char> bytes(std::initializer_list<int> values) { return std::vector<char>(values.begin(), values.end()); }

// The encoding of value, or {0xEE} as a marker when the encoder refuses it.
inline std::vector<char> encoded(const ASN1::AbstractData& value, bool aligned = true)
{
    std::vector<char> out;
    ASN1::PEREncoder encoder(out, aligned);
    return value.accept(encoder) ? out : bytes({0xee});
}

inline bool encodes(const ASN1::AbstractData& value, bool aligned = true)
{
    std::vector<char> out;
    ASN1::PEREncoder encoder(out, aligned);
    return value.accept(encoder);
}

inline bool decode(const std::vector<char>& input, ASN1::AbstractData& value, bool aligned = true)
{
    ASN1::PERDecoder decoder(input.data(), input.data() + input.size(), nullptr, aligned);
    return value.accept(decoder);
}

}  // namespace PerTest
