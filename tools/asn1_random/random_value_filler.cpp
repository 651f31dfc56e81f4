#include "tools/asn1_random/random_value_filler.h"

#include "asn1/runtime/abstract_string.h"
#include "asn1/runtime/boolean.h"
#include "asn1/runtime/choice.h"
#include "asn1/runtime/enumerated.h"
#include "asn1/runtime/integer.h"
#include "asn1/runtime/octet_string.h"
#include "asn1/runtime/sequence.h"
#include "asn1/runtime/sequence_of.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <vector>

namespace asn1random {

namespace {

// Deeper than any message type nests; a type that holds itself through a list ends here.
constexpr unsigned deepest = 48;

// Values where the shortest two's-complement form changes length.
constexpr std::int32_t integerEdges[] = {0, 1, -1, 127, 128, -128, -129, 255, 256, 32767, 32768, -32768, -32769,
    8388607, 8388608, -8388608, -8388609, std::numeric_limits<std::int32_t>::max(),
    std::numeric_limits<std::int32_t>::min()};

bool isConstrained(ASN1::ConstraintType type)
{
    return type == ASN1::FixedConstraint || type == ASN1::ExtendableConstraint;
}

// The values of an ENUMERATED's names that its coding can carry: each name's value is the number
// after "=", or the previous value plus one.
std::vector<int> enumeratorValues(const ASN1::ENUMERATED::InfoType& type)
{
    std::vector<int> values;
    long long value = -1;
    for (unsigned i = 0; i < type.nameCount; ++i) {
        const char* equals = std::strchr(type.names[i], '=');
        value = equals ? std::atoll(equals + 1) : value + 1;
        if (value >= 0 && value <= type.maxEnumValue)
            values.push_back(static_cast<int>(value));
    }
    return values;
}

}  // namespace

bool RandomValueFiller::fill(ASN1::AbstractData& value, const TypeInfo* focus)
{
    focus_ = focus;
    placed_ = false;
    depth_ = 0;
    return fillComponent(&value);
}

void RandomValueFiller::arrive(const ASN1::AbstractData& value)
{
    if (value.info() == focus_)
        placed_ = true;
}

bool RandomValueFiller::leadsToFocus(const TypeInfo* type)
{
    return focus_ && !placed_ && graph_.reaches(type, focus_);
}

long long RandomValueFiller::between(long long lower, long long upper)
{
    return std::uniform_int_distribution<long long>(lower, upper)(random_);
}

unsigned RandomValueFiller::length()
{
    return static_cast<unsigned>(random_() % 4 ? between(0, 8) : between(9, 300));
}

bool RandomValueFiller::fillComponent(ASN1::AbstractData* component)
{
    if (!component || depth_ >= deepest)
        return false;
    ++depth_;
    arrive(*component);
    const bool filled = component->accept(*this);
    --depth_;
    return filled;
}

bool RandomValueFiller::do_visit(ASN1::Null&) { return true; }

bool RandomValueFiller::do_visit(ASN1::BOOLEAN& value)
{
    value.setValue(coin());
    return true;
}

bool RandomValueFiller::do_visit(ASN1::INTEGER& value)
{
    const ASN1::ConstrainedObject::InfoType& type = *value.info();
    if (isConstrained(type.type)) {
        const long long lower = type.lowerLimit;
        const long long upper = lower < 0 ? static_cast<int>(type.upperLimit) : static_cast<long long>(type.upperLimit);
        const unsigned pick = random_() % 8;
        const long long v = pick == 0 ? lower : pick == 1 ? upper : between(lower, upper);
        value.setValue(static_cast<int>(static_cast<std::uint32_t>(v)));
        return true;
    }
    if (type.type != ASN1::Unconstrained)
        return false;  // a lower bound alone is coded unlike X.691
    if (random_() % 4 == 0) {
        value.setValue(integerEdges[random_() % std::size(integerEdges)]);
        return true;
    }
    // A magnitude of 1 to 32 bits, either sign.
    const unsigned width = static_cast<unsigned>(between(1, 32));
    const std::uint32_t bits = static_cast<std::uint32_t>(random_()) >> (32 - width);
    value.setValue(width == 32 || coin() ? static_cast<int>(bits) : -static_cast<int>(bits));
    return true;
}

bool RandomValueFiller::do_visit(ASN1::ENUMERATED& value)
{
    const std::vector<int> values = enumeratorValues(*value.info());
    if (values.empty())
        return false;
    value.setValue(values[random_() % values.size()]);
    return true;
}

bool RandomValueFiller::do_visit(ASN1::OCTET_STRING& value)
{
    std::vector<char>& octets = value.getValue();
    octets.resize(length());
    for (char& octet : octets)
        octet = static_cast<char>(random_());
    return true;
}

bool RandomValueFiller::do_visit(ASN1::AbstractString& value)
{
    const ASN1::AbstractString::InfoType& type = *value.info();
    const unsigned n = isConstrained(type.type)
        ? static_cast<unsigned>(between(type.lowerLimit, std::min<long long>(type.upperLimit, 300)))
        : length();
    std::string text(n, ' ');
    for (char& c : text)
        c = type.characterSet[random_() % type.characterSetSize];
    value.setValue(text);
    return true;
}

bool RandomValueFiller::do_visit(ASN1::CHOICE& value)
{
    const ASN1::CHOICE::InfoType& type = *value.info();
    std::vector<int> candidates;
    for (unsigned i = 0; i < type.numAlternatives; ++i) {
        if (leadsToFocus(type.selectionInfos[i]))
            candidates.push_back(static_cast<int>(i));
    }
    const int selection = candidates.empty() ? static_cast<int>(random_() % type.numAlternatives)
                                             : candidates[random_() % candidates.size()];
    return value.createSelection(selection) && fillComponent(value.getSelection());
}

bool RandomValueFiller::do_visit(ASN1::SEQUENCE_OF_Base& value)
{
    const unsigned least = leadsToFocus(value.info()->elementInfo) ? 1 : 0;
    value.resize(static_cast<unsigned>(between(least, 3)));
    for (auto& element : value) {
        if (!fillComponent(element.get()))
            return false;
    }
    return true;
}

int RandomValueFiller::preVisitExtensionRoots(ASN1::SEQUENCE& seq)
{
    const ASN1::SEQUENCE::InfoType& type = *seq.info();
    for (unsigned i = 0; i < type.numRootFields; ++i) {
        const int id = type.fieldIds[i];
        if (id >= 0 && (leadsToFocus(type.fieldInfos[i]) || coin()))
            seq.includeOptionalField(static_cast<unsigned>(id), i);
    }
    // A third of the values carry no addition at all, so the extension bit is 0 for them.
    const bool additions = random_() % 3 != 0;
    std::vector<unsigned> present;
    for (unsigned k = 0; k < type.numKnownExtensions; ++k) {
        if (leadsToFocus(type.fieldInfos[type.numRootFields + k]) || (additions && coin()))
            present.push_back(k);
    }
    if (present.empty())
        return RootsOnly;
    for (unsigned k : present)
        seq.includeOptionalField(type.numOptionalFields + k, type.numRootFields + k);
    return Continue;
}

int RandomValueFiller::visitExtensionRoot(ASN1::SEQUENCE& seq, int index, int optionalId)
{
    if (optionalId >= 0 && !seq.hasOptionalField(static_cast<unsigned>(optionalId)))
        return Continue;
    return fillComponent(seq.makeField(static_cast<unsigned>(index))) ? Continue : Fail;
}

int RandomValueFiller::visitKnownExtension(ASN1::SEQUENCE& seq, int index, int optionalId)
{
    return visitExtensionRoot(seq, index, optionalId);
}

// Kinds no message type of the links holds: a value of them fails the fill.
bool RandomValueFiller::do_visit(ASN1::OBJECT_IDENTIFIER&) { return false; }
bool RandomValueFiller::do_visit(ASN1::BIT_STRING&) { return false; }
bool RandomValueFiller::do_visit(ASN1::BMPString&) { return false; }
bool RandomValueFiller::do_visit(ASN1::OpenData&) { return false; }
bool RandomValueFiller::do_revisit(ASN1::OpenData&) { return false; }
bool RandomValueFiller::do_visit(ASN1::TypeConstrainedOpenData&) { return false; }
bool RandomValueFiller::do_visit(ASN1::GeneralizedTime&) { return false; }

}  // namespace asn1random
