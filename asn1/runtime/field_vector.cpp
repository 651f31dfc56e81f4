#include "asn1/runtime/field_vector.h"

#include <iterator>

namespace ASN1 {

FieldVector::FieldVector(const_iterator first, const_iterator last)
{
    entries_.reserve(std::distance(first, last));
    for (; first != last; ++first)
        entries_.emplace_back(*first ? (*first)->clone() : nullptr);
}

FieldVector& FieldVector::operator=(const FieldVector& other)
{
    FieldVector copy(other);
    swap(copy);
    return *this;
}

FieldVector::iterator FieldVector::insert(const_iterator pos, FieldVector values)
{
    return entries_.insert(pos, std::make_move_iterator(values.entries_.begin()),
                           std::make_move_iterator(values.entries_.end()));
}

}  // namespace ASN1
