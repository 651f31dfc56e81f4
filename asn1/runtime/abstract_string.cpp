#include "asn1/runtime/abstract_string.h"

#include "asn1/runtime/const_visitor.h"
#include "asn1/runtime/visitor.h"

#include <boost/polymorphic_cast.hpp>

#include <algorithm>
#include <cstring>

namespace ASN1 {

namespace {

template <unsigned Tag, std::size_t N>
constexpr AbstractString::InfoType unconstrainedString(const std::array<char, N>& set, unsigned indexBits,
                                                       unsigned unalignedBits, unsigned alignedBits)
{
    return {{detail::Allocator<KnownMultiplierString<Tag>>::info(Tag),
             EmptyConstraint::type,
             EmptyConstraint::lowerLimit,
             EmptyConstraint::upperLimit},
            set.data(),
            static_cast<unsigned>(N),
            indexBits,
            unalignedBits,
            alignedBits};
}

static_assert(NumericStringSet.size() == 11 && PrintableStringSet.size() == 74);

}  // namespace

template <>
const AbstractString::InfoType NumericString::theInfo = unconstrainedString<0x12>(NumericStringSet, 4, 4, 4);
template <>
const AbstractString::InfoType PrintableString::theInfo = unconstrainedString<0x13>(PrintableStringSet, 7, 7, 8);
template <>
const AbstractString::InfoType IA5String::theInfo = unconstrainedString<0x16>(IA5StringSet, 7, 7, 8);
template <>
const AbstractString::InfoType VisibleString::theInfo = unconstrainedString<0x1a>(VisibleStringSet, 7, 7, 8);
template <>
const AbstractString::InfoType GeneralString::theInfo = unconstrainedString<0x1b>(GeneralStringSet, 8, 8, 8);

int AbstractString::do_compare(const AbstractData& other) const
{
    const std::string& other_text = boost::polymorphic_downcast<const AbstractString*>(&other)->text_;
    const std::size_t common = std::min(text_.size(), other_text.size());
    if (const int result = std::memcmp(text_.data(), other_text.data(), common))
        return result;
    return static_cast<int>(text_.size() - other_text.size());
}

AbstractData* AbstractString::do_clone() const { return cloneThrough(*this); }

bool AbstractString::do_accept(Visitor& visitor) { return visitor.visit(*this); }

bool AbstractString::do_accept(ConstVisitor& visitor) const { return visitor.visit(*this); }

}  // namespace ASN1
