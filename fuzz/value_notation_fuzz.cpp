// Feeds arbitrary text to the value-notation reader. The first octet picks the type to read into;
// a value that reads is judged and must print, and must read back from its print to an equal
// value that prints the same text.

#include "fuzz/typed_input.h"

#include "asn1/runtime/value_notation_reader.h"
#include "asn1/runtime/value_notation_writer.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using fuzz::Info;

const std::vector<Info> types = fuzz::reader_types({&TestModule::Dscp::theInfo});

std::unique_ptr<ASN1::AbstractData> read(Info type, const std::string& text)
{
    std::unique_ptr<ASN1::AbstractData> value(type->create(type));
    return value->setFromValueNotation(text) ? std::move(value) : nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto input = fuzz::typed_input(types, data, size);
    if (!input)
        return 0;
    const auto value = read(input->type, std::string(input->first, input->last));
    if (!value)
        return 0;

    fuzz::judge(*value);

    std::ostringstream printed;
    printed << *value;
    if (!printed)
        __builtin_trap();
    const auto back = read(input->type, printed.str());
    if (!back || *back != *value || back->asValueNotation() != printed.str())
        __builtin_trap();
    return 0;
}
