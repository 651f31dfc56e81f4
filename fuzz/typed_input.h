#pragma once

// What the fuzz targets of the value readers share: the first octet of an input picks the type
// that the octets after it are read into, and a value that reads is judged by checks that hold
// for any value and so must merely not fault.

#include "asn1/modules/LGCP.h"
#include "asn1/runtime/asn1.h"
#include "asn1/runtime/invalid_value_tracer.h"

#include "asn1/test_module.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <sstream>
#include <vector>

namespace fuzz {

using Info = const ASN1::AbstractData::InfoType*;

// The controller message, the hand-built test module and the runtime's own kinds, followed by the types that only the target's reader takes.
inline std::vector<Info> reader_types(std::initializer_list<Info> own)
{
    std::vector<Info> types = {
        &LGCP::Message::theInfo,
        &TestModule::Outer::theInfo,
        &ASN1::SEQUENCE_OF<TestModule::Outer>::theInfo,
        &TestModule::InnerCarrier_info,
        &TestModule::Level_info,
        &ASN1::OBJECT_IDENTIFIER::theInfo,
        &ASN1::BIT_STRING::theInfo,
        &ASN1::BMPString::theInfo,
        &ASN1::GeneralizedTime::theInfo,
    };
    types.insert(types.end(), own);
    return types;
}

struct TypedInput {
    Info type;
    const char* first;
    const char* last;
};

// The type that the first octet picks among types, and the octets after it; none for an empty input.
inline std::optional<TypedInput> typed_input(const std::vector<Info>& types, const std::uint8_t* data,
                                             std::size_t size)
{
    if (size == 0)
        return std::nullopt;
    const char* first = reinterpret_cast<const char*>(data + 1);
    return TypedInput{types[data[0] % types.size()], first, first + size - 1};
}

// Validity, strict validity and the trace of the invalid parts.
inline void judge(const ASN1::AbstractData& value)
{
    value.isValid();
    value.isStrictlyValid();
    std::ostringstream trace;
    ASN1::trace_invalid(trace, "", value);
}

}  // namespace fuzz
