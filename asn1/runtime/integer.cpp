#include "asn1/runtime/integer.h"

#include "asn1/runtime/const_visitor.h"
#include "asn1/runtime/visitor.h"

#include <boost/polymorphic_cast.hpp>

namespace ASN1 {

const INTEGER::InfoType INTEGER::theInfo = {
    detail::Allocator<INTEGER>::info(2), EmptyConstraint::type, EmptyConstraint::lowerLimit, EmptyConstraint::upperLimit};

int INTEGER::do_compare(const AbstractData& other) const
{
    const unsigned other_value = static_cast<unsigned>(boost::polymorphic_downcast<const INTEGER*>(&other)->value_);
    return static_cast<int>(static_cast<unsigned>(value_) - other_value);
}

AbstractData* INTEGER::do_clone() const { return cloneThrough(*this); }

bool INTEGER::do_accept(Visitor& visitor) { return visitor.visit(*this); }

bool INTEGER::do_accept(ConstVisitor& visitor) const { return visitor.visit(*this); }

}  // namespace ASN1
