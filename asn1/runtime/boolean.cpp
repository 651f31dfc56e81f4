#include "asn1/runtime/boolean.h"

#include "asn1/runtime/const_visitor.h"
#include "asn1/runtime/visitor.h"

#include <boost/polymorphic_cast.hpp>

namespace ASN1 {

const BOOLEAN::InfoType BOOLEAN::theInfo = detail::Allocator<BOOLEAN>::info(1);

int BOOLEAN::do_compare(const AbstractData& other) const
{
    return int(value_) - int(boost::polymorphic_downcast<const BOOLEAN*>(&other)->value_);
}

AbstractData* BOOLEAN::do_clone() const { return cloneThrough(*this); }

bool BOOLEAN::do_accept(Visitor& visitor) { return visitor.visit(*this); }

bool BOOLEAN::do_accept(ConstVisitor& visitor) const { return visitor.visit(*this); }

}  // namespace ASN1
