#pragma once

// The coding entry points. Callers never drive a coder themselves: they build a CoderEnv on the
// stack naming the encoding rule and hand it, with a value and an output iterator or an octet
// range, to ASN1::encode or ASN1::decode. Both controller-facing links use rule 2 (PER, aligned)
// with an empty module registry and decode without an environment.
//
//     ASN1::CoderEnv env;                                   // rule 2
//     std::vector<char> octets;
//     ASN1::encode(message, &env, std::back_inserter(octets));
//     ASN1::decode(data, data + length, &env, fresh, true);  // fresh: a default value
//
// A failure is a false result: an encoding writes nothing to the output then, and a decoding may
// leave the value partly filled, so the caller drops it.

#include <loki/AssocVector.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

namespace ASN1 {

class AbstractData;
class Module;

class CoderEnv {
public:
    enum Rule {
        valueNotationRule = 0,
        berRule = 1,
        perRule = 2,  // the aligned variant
    };

    // Orders module names as strcmp does. The registry's base wants the argument typedefs.
    struct StringListeralCmp {
        using first_argument_type = const char*;
        using second_argument_type = const char*;
        using result_type = bool;
        bool operator()(const char* a, const char* b) const { return std::strcmp(a, b) < 0; }
    };
    using ModuleRegistry = Loki::AssocVector<const char*, Module*, StringListeralCmp>;

    int encodingRule = perRule;
    // No coder of this system looks a module up; the links leave it empty.
    ModuleRegistry modules;

    template <class OutputIterator>
    bool encodeBER(const AbstractData& value, OutputIterator out) const
    {
        return encodeWith(berRule, value, out);
    }
    // The value-notation text of value.
    template <class OutputIterator>
    bool encodeAVN(const AbstractData& value, OutputIterator out) const
    {
        return encodeWith(valueNotationRule, value, out);
    }
    // Encodes under rule into a local buffer and copies it to out on success only.
    template <class OutputIterator>
    bool encodeWith(int rule, const AbstractData& value, OutputIterator out) const
    {
        std::vector<char> octets;
        if (!encodeOctets(rule, value, octets))
            return false;
        std::copy(octets.begin(), octets.end(), out);
        return true;
    }
    // Appending to an octet vector (what the links do) needs no buffer: the encoding goes
    // straight to the vector's end, and is cut off again when it fails.
    bool encodeWith(int rule, const AbstractData& value, std::back_insert_iterator<std::vector<char>> out) const;
    // The encoding of value under rule, appended to octets (the text, for value notation). A
    // PER encoding starts on an octet boundary. False for an unknown rule or a value the rule
    // cannot carry; octets may then hold a partial encoding.
    static bool encodeOctets(int rule, const AbstractData& value, std::vector<char>& octets);

    // Fills value, a default value of the expected type, from [first, last) under encodingRule;
    // a PER decoding starts at the first bit of first. Nested decoders see this environment
    // unless withoutEnv is set.
    bool decode(const char* first, const char* last, AbstractData& value, bool withoutEnv) const;
};

template <class OutputIterator>
bool encode(const AbstractData& value, const CoderEnv* env, OutputIterator out)
{
    return env && env->encodeWith(env->encodingRule, value, out);
}

template <class InputIterator>
bool decode(InputIterator first, InputIterator last, const CoderEnv* env, AbstractData& value, bool withoutEnv)
{
    return env && env->decode(first, last, value, withoutEnv);
}

}  // namespace ASN1
