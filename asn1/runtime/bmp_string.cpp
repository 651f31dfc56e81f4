#include "asn1/runtime/bmp_string.h"

#include "asn1/runtime/const_visitor.h"
#include "asn1/runtime/visitor.h"

#include <boost/polymorphic_cast.hpp>

#include <algorithm>
#include <cwchar>

namespace ASN1 {

const BMPString::InfoType BMPString::theInfo = {
    {detail::Allocator<BMPString>::info(0x1e), EmptyConstraint::type, EmptyConstraint::lowerLimit, EmptyConstraint::upperLimit},
    0,
    0xffff,
    16,
    16};

int BMPString::do_compare(const AbstractData& other) const
{
    const std::wstring& other_text = boost::polymorphic_downcast<const BMPString*>(&other)->text_;
    const std::size_t common = std::min(text_.size(), other_text.size());
    if (const int result = std::wmemcmp(text_.data(), other_text.data(), common))
        return result;
    return static_cast<int>(text_.size() - other_text.size());
}

AbstractData* BMPString::do_clone() const { return cloneThrough(*this); }

bool BMPString::do_accept(Visitor& visitor) { return visitor.visit(*this); }

bool BMPString::do_accept(ConstVisitor& visitor) const { return visitor.visit(*this); }

}  // namespace ASN1
