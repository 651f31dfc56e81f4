#pragma once

// Encoding and decoding one value with the BER coder, for the BER tests.

#include "asn1/runtime/asn1.h"
#include "asn1/runtime/ber_decoder.h"
#include "asn1/runtime/ber_encoder.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace bertest {

inline std::vector<char> bytes(std::initializer_list<int> values) { return std::vector<char>(values.begin(), values.end()); }

inline std::vector<char> encode(const ASN1::AbstractData& value)
{
    std::vector<char> out;
    ASN1::BEREncoder writer(out);
    EXPECT_TRUE(value.accept(writer));
    return out;
}

inline bool decode(const std::vector<char>& in, ASN1::AbstractData& value)
{
    ASN1::BERDecoder reader(nullptr, in.data(), in.data() + in.size());
    return value.accept(reader);
}

}  // namespace bertest
