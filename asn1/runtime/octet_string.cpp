#include "asn1/runtime/octet_string.h"

#include "asn1/runtime/const_visitor.h"
#include "asn1/runtime/utility.h"
#include "asn1/runtime/visitor.h"

#include <boost/polymorphic_cast.hpp>

namespace ASN1 {

const OCTET_STRING::InfoType OCTET_STRING::theInfo = {
    detail::Allocator<OCTET_STRING>::info(4), EmptyConstraint::type, EmptyConstraint::lowerLimit, EmptyConstraint::upperLimit};

int OCTET_STRING::do_compare(const AbstractData& other) const
{
    const std::vector<char>& other_octets = boost::polymorphic_downcast<const OCTET_STRING*>(&other)->octets_;
    return lexicographic_compare_bytes(octets_.data(), octets_.data() + octets_.size(), other_octets.data(),
                                       other_octets.data() + other_octets.size());
}

AbstractData* OCTET_STRING::do_clone() const { return cloneThrough(*this); }

bool OCTET_STRING::do_accept(Visitor& visitor) { return visitor.visit(*this); }

bool OCTET_STRING::do_accept(ConstVisitor& visitor) const { return visitor.visit(*this); }

}  // namespace ASN1
