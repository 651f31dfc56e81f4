#include "asn1/runtime/coder_env.h"

#include "asn1/runtime/abstract_data.h"
#include "asn1/runtime/ber_decoder.h"
#include "asn1/runtime/ber_encoder.h"
#include "asn1/runtime/per_decoder.h"
#include "asn1/runtime/per_encoder.h"
#include "asn1/runtime/value_notation_reader.h"
#include "asn1/runtime/value_notation_writer.h"

#include <sstream>
#include <string>

namespace ASN1 {

namespace {

// The vector a back-insert iterator appends to, its protected member.
struct Appender : std::back_insert_iterator<std::vector<char>> {
    static std::vector<char>& target(const std::back_insert_iterator<std::vector<char>>& out)
    {
        return *(out.*&Appender::container);
    }
};

// The value-notation text of value, appended to octets. Kept out of line: the stream objects would
// otherwise weigh on every coding's frame.
[[gnu::noinline]] bool encodeText(const AbstractData& value, std::vector<char>& octets)
{
    std::ostringstream text;
    AVNEncoder encoder(text);
    if (!value.accept(encoder))
        return false;
    const std::string written = text.str();
    octets.insert(octets.end(), written.begin(), written.end());
    return true;
}

[[gnu::noinline]] bool decodeText(const char* first, const char* last, AbstractData& value)
{
    std::istringstream text(std::string(first, last));
    AVNDecoder decoder(text);
    return value.accept(decoder);
}

}  // namespace

bool CoderEnv::encodeWith(int rule, const AbstractData& value, std::back_insert_iterator<std::vector<char>> out) const
{
    std::vector<char>& octets = Appender::target(out);
    const std::size_t before = octets.size();
    if (encodeOctets(rule, value, octets))
        return true;
    octets.resize(before);
    return false;
}

bool CoderEnv::encodeOctets(int rule, const AbstractData& value, std::vector<char>& octets)
{
    // A typical controller message fits without reallocating.
    octets.reserve(octets.size() + 256);
    switch (rule) {
    case perRule: {
        PEREncoder encoder(octets);
        return encoder.encode(value);
    }
    case berRule: {
        BEREncoder encoder(octets);
        return value.accept(encoder);
    }
    case valueNotationRule:
        return encodeText(value, octets);
    default:
        return false;
    }
}

bool CoderEnv::decode(const char* first, const char* last, AbstractData& value, bool withoutEnv) const
{
    const CoderEnv* env = withoutEnv ? nullptr : this;
    switch (encodingRule) {
    case perRule: {
        PERDecoder decoder(first, last, env);
        return decoder.decode(value);
    }
    case berRule: {
        BERDecoder decoder(env, first, last);
        return value.accept(decoder);
    }
    case valueNotationRule:
        return decodeText(first, last, value);
    default:
        return false;
    }
}

}  // namespace ASN1
