#include "asn1/runtime/bit_string.h"

#include "asn1/runtime/const_visitor.h"
#include "asn1/runtime/visitor.h"

#include <boost/polymorphic_cast.hpp>

namespace ASN1 {

const BIT_STRING::InfoType BIT_STRING::theInfo = {
    detail::Allocator<BIT_STRING>::info(3), EmptyConstraint::type, EmptyConstraint::lowerLimit, EmptyConstraint::upperLimit};

int BIT_STRING::do_compare(const AbstractData& other) const
{
    const BitMap& other_bits = boost::polymorphic_downcast<const BIT_STRING*>(&other)->bits_;
    const char* a = bits_.data();
    const char* b = other_bits.data();
    for (unsigned i = 0; i < bits_.octetCount() && i < other_bits.octetCount(); ++i) {
        const unsigned char x = a[i];
        const unsigned char y = b[i];
        const unsigned char differing = x ^ y;
        if (differing != 0)
            return int(x & differing) - int(y & differing);
    }
    return static_cast<int>(bits_.size() - other_bits.size());
}

AbstractData* BIT_STRING::do_clone() const { return cloneThrough(*this); }

bool BIT_STRING::do_accept(Visitor& visitor) { return visitor.visit(*this); }

bool BIT_STRING::do_accept(ConstVisitor& visitor) const { return visitor.visit(*this); }

}  // namespace ASN1
