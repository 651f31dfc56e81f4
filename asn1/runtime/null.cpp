#include "asn1/runtime/null.h"

#include "asn1/runtime/const_visitor.h"
#include "asn1/runtime/visitor.h"

namespace ASN1 {

const Null::InfoType Null::theInfo = detail::Allocator<Null>::info(5);

int Null::do_compare(const AbstractData&) const { return 0; }

AbstractData* Null::do_clone() const { return cloneThrough(*this); }

bool Null::do_accept(Visitor& visitor) { return visitor.visit(*this); }

bool Null::do_accept(ConstVisitor& visitor) const { return visitor.visit(*this); }

}  // namespace ASN1
