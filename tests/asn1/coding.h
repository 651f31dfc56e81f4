#pragma once

// Short hands of the coder tests: octets from numbers, values from their value notation, one-call
// encodings and decodings, and the checks of known encodings.

#include "asn1/runtime/asn1.h"
#include "asn1/runtime/ber_decoder.h"
#include "asn1/runtime/ber_encoder.h"
#include "asn1/runtime/ber_length.h"
#include "asn1/runtime/ber_tags.h"
#include "asn1/runtime/per_decoder.h"
#include "asn1/runtime/per_encoder.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace coding {

using Info = const ASN1::AbstractData::InfoType*;

enum Rule { per, unalignedPer, ber };

inline std::vector<char> bytes(std::initializer_list<int> values) { return std::vector<char>(values.begin(), values.end()); }

// What encode() gives for a value its encoder refuses.
inline const std::vector<char> refused = bytes({0xee});

inline std::unique_ptr<ASN1::AbstractData> fresh(Info type) { return std::unique_ptr<ASN1::AbstractData>(type->create(type)); }

// The value (of type) that text reads into.
template <class T>
T read(const std::string& text)
{
    T value;
    EXPECT_TRUE(value.setFromValueNotation(text)) << text;
    return value;
}

inline std::unique_ptr<ASN1::AbstractData> read(Info type, const std::string& text)
{
    auto value = fresh(type);
    EXPECT_TRUE(value->setFromValueNotation(text)) << text;
    return value;
}

inline std::vector<char> encode(const ASN1::AbstractData& value, Rule rule = per)
{
    std::vector<char> out;
    ASN1::PEREncoder perEncoder(out, rule == per);
    ASN1::BEREncoder berEncoder(out);
    return value.accept(rule == ber ? static_cast<ASN1::ConstVisitor&>(berEncoder) : perEncoder) ? out : refused;
}

inline bool decode(const std::vector<char>& input, ASN1::AbstractData& value, Rule rule = per)
{
    ASN1::PERDecoder perDecoder(input.data(), input.data() + input.size(), nullptr, rule == per);
    ASN1::BERDecoder berDecoder(nullptr, input.data(), input.data() + input.size());
    return value.accept(rule == ber ? static_cast<ASN1::Visitor&>(berDecoder) : perDecoder);
}

// The encoder writes exactly expected (having counted its length, in BER) and the decoder reads
// it back into an equal value.
inline void expectBothWays(const ASN1::AbstractData& value, const std::vector<char>& expected, Rule rule = per)
{
    EXPECT_EQ(encode(value, rule), expected);
    EXPECT_EQ(rule == ber ? ASN1::getObjectLength(value, ASN1::ber::OwnTag) : expected.size(), expected.size());
    const auto back = fresh(value.info());
    ASSERT_TRUE(decode(expected, *back, rule));
    EXPECT_EQ(*back, value);
}

// Octets that decode into the value of type that text reads into, or are refused (no text).
struct Input {
    Info type;
    std::vector<char> octets;
    const char* decoded;
};

inline void expectDecodes(const Input& input, Rule rule = per)
{
    const auto value = fresh(input.type);
    ASSERT_EQ(decode(input.octets, *value, rule), input.decoded != nullptr);
    if (!input.decoded)
        return;
    EXPECT_EQ(*value, *read(input.type, input.decoded));
}

}  // namespace coding
