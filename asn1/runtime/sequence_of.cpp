#include "asn1/runtime/sequence_of.h"

#include "asn1/runtime/const_visitor.h"
#include "asn1/runtime/visitor.h"

namespace ASN1 {

void SEQUENCE_OF_Base::resize(unsigned n)
{
    if (n <= container_.size()) {
        container_.resize(n);
        return;
    }
    const AbstractData::InfoType* element = info()->elementInfo;
    container_.reserve(n);
    while (container_.size() < n)
        container_.push_back(FieldVector::Entry(element->create(element)));
}

void SEQUENCE_OF_Base::insert(const_iterator pos, unsigned n, const AbstractData& x)
{
    FieldVector copies;
    for (unsigned i = 0; i < n; ++i)
        copies.push_back(FieldVector::Entry(x.clone()));
    container_.insert(pos, std::move(copies));
}

void SEQUENCE_OF_Base::insert(const_iterator pos, const_iterator first, const_iterator last)
{
    container_.insert(pos, FieldVector(first, last));
}

int SEQUENCE_OF_Base::do_compare(const AbstractData& other) const
{
    const FieldVector& theirs = boost::polymorphic_downcast<const SEQUENCE_OF_Base*>(&other)->container_;
    for (std::size_t i = 0; i < container_.size() && i < theirs.size(); ++i)
        if (const int result = container_[i]->compare(*theirs[i]))
            return result;
    return static_cast<int>(container_.size() - theirs.size());
}

AbstractData* SEQUENCE_OF_Base::do_clone() const { return cloneThrough(*this); }

bool SEQUENCE_OF_Base::do_accept(Visitor& visitor) { return visitor.visit(*this); }

bool SEQUENCE_OF_Base::do_accept(ConstVisitor& visitor) const { return visitor.visit(*this); }

}  // namespace ASN1
