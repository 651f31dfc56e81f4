#include "asn1/runtime/object_identifier.h"

#include "asn1/runtime/const_visitor.h"
#include "asn1/runtime/visitor.h"

#include <boost/polymorphic_cast.hpp>

#include <cstdint>

namespace ASN1 {

namespace {

// The first sub-identifier joins two arcs, so it may need more than 32 bits.
void appendSubIdentifier(std::vector<char>& out, std::uint64_t value)
{
    int shift = 0;
    while (shift + 7 < 64 && (value >> (shift + 7)) != 0)
        shift += 7;
    for (; shift > 0; shift -= 7)
        out.push_back(static_cast<char>(0x80 | ((value >> shift) & 0x7f)));
    out.push_back(static_cast<char>(value & 0x7f));
}

// Reads one base-128 sub-identifier of at most `limit`; false when the input ends inside it or
// the value exceeds the limit.
bool readSubIdentifier(const unsigned char*& pos, const unsigned char* end, std::uint64_t limit, std::uint64_t& value)
{
    value = 0;
    while (pos != end) {
        const unsigned char octet = *pos++;
        value = (value << 7) | (octet & 0x7f);
        if (value > limit)
            return false;
        if ((octet & 0x80) == 0)
            return true;
    }
    return false;
}

}  // namespace

const OBJECT_IDENTIFIER::InfoType OBJECT_IDENTIFIER::theInfo = detail::Allocator<OBJECT_IDENTIFIER>::info(6);

void OBJECT_IDENTIFIER::encodeCommon(std::vector<char>& out) const
{
    if (arcs_.size() < 2)
        return;
    appendSubIdentifier(out, std::uint64_t(arcs_[0]) * 40 + arcs_[1]);
    for (std::size_t i = 2; i < arcs_.size(); ++i)
        appendSubIdentifier(out, arcs_[i]);
}

bool OBJECT_IDENTIFIER::decodeCommon(const char* data, unsigned length)
{
    arcs_.clear();
    const auto* pos = reinterpret_cast<const unsigned char*>(data);
    const auto* end = pos + length;
    if (pos == end)
        return true;
    constexpr std::uint64_t max_arc = 0xffffffffu;
    std::uint64_t value;
    if (!readSubIdentifier(pos, end, max_arc + 80, value))
        return false;
    const unsigned first = value < 40 ? 0 : value < 80 ? 1 : 2;
    arcs_.push_back(first);
    arcs_.push_back(static_cast<unsigned>(value - 40 * first));
    while (pos != end) {
        if (!readSubIdentifier(pos, end, max_arc, value))
            return false;
        arcs_.push_back(static_cast<unsigned>(value));
    }
    return true;
}

int OBJECT_IDENTIFIER::do_compare(const AbstractData& other) const
{
    const std::vector<unsigned>& other_arcs = boost::polymorphic_downcast<const OBJECT_IDENTIFIER*>(&other)->arcs_;
    for (std::size_t i = 0; i < arcs_.size() && i < other_arcs.size(); ++i)
        if (arcs_[i] != other_arcs[i])
            return static_cast<int>(arcs_[i] - other_arcs[i]);
    return static_cast<int>(arcs_.size() - other_arcs.size());
}

AbstractData* OBJECT_IDENTIFIER::do_clone() const { return cloneThrough(*this); }

bool OBJECT_IDENTIFIER::do_accept(Visitor& visitor) { return visitor.visit(*this); }

bool OBJECT_IDENTIFIER::do_accept(ConstVisitor& visitor) const { return visitor.visit(*this); }

}  // namespace ASN1
