#pragma once

// SEQUENCE OF and SET OF: owned elements in order, all of the element descriptor's type. The
// typed fronts SEQUENCE_OF<T> and SET_OF<T> add no data; their descriptors are constant template
// data, one per element type and constraint, shared by every module that uses them.

#include "asn1/runtime/abstract_data.h"
#include "asn1/runtime/field_vector.h"

#include <boost/polymorphic_cast.hpp>

#include <iterator>

namespace ASN1 {

class SEQUENCE_OF_Base : public ConstrainedObject {
public:
    struct InfoType : ConstrainedObject::InfoType {  // the constraint is the SIZE constraint
        const AbstractData::InfoType* elementInfo;
    };

    using iterator = FieldVector::iterator;
    using const_iterator = FieldVector::const_iterator;

    explicit SEQUENCE_OF_Base(const InfoType* info) : ConstrainedObject(info) {}

    const InfoType* info() const { return static_cast<const InfoType*>(AbstractData::info()); }

    unsigned size() const { return static_cast<unsigned>(container_.size()); }
    bool empty() const { return container_.empty(); }
    // No bound check.
    AbstractData& operator[](unsigned i) { return *container_[i]; }
    const AbstractData& operator[](unsigned i) const { return *container_[i]; }
    iterator begin() { return container_.begin(); }
    iterator end() { return container_.end(); }
    const_iterator begin() const { return container_.begin(); }
    const_iterator end() const { return container_.end(); }

    void clear() { container_.clear(); }
    // Grows with new default elements made by elementInfo, or deletes the elements from
    // position n on.
    void resize(unsigned n);
    // Deletes and removes the range.
    iterator erase(const_iterator first, const_iterator last) { return container_.erase(first, last); }
    // Inserts n clones of x before pos.
    void insert(const_iterator pos, unsigned n, const AbstractData& x);
    // Inserts clones of the elements of a range (of this or another list) before pos.
    void insert(const_iterator pos, const_iterator first, const_iterator last);
    // Takes ownership of an element made from elementInfo and appends it.
    void append(AbstractData* element) { container_.push_back(FieldVector::Entry(element)); }

    // Every element valid and the count within the SIZE constraint; isValid() lets the count
    // exceed an extendable upper bound.
    bool isValid() const;
    bool isStrictlyValid() const;

protected:
    // Element by element (the first difference decides), then the element count difference.
    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;

private:
    FieldVector container_;
};

namespace detail {

// Walks a list's elements as T.
template <class T, class Base>
class ElementIterator {
public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    using pointer = T*;
    using reference = T&;

    ElementIterator() = default;
    explicit ElementIterator(Base base) : base_(base) {}
    // A mutable iterator passes for a const one.
    template <class U, class Other>
    ElementIterator(const ElementIterator<U, Other>& other) : base_(other.base())
    {
    }

    const Base& base() const { return base_; }
    T& operator*() const { return *boost::polymorphic_downcast<T*>(base_->get()); }
    T* operator->() const { return &**this; }
    ElementIterator& operator++()
    {
        ++base_;
        return *this;
    }
    ElementIterator operator++(int)
    {
        ElementIterator old = *this;
        ++base_;
        return old;
    }
    friend bool operator==(const ElementIterator& a, const ElementIterator& b) { return a.base_ == b.base_; }
    friend bool operator!=(const ElementIterator& a, const ElementIterator& b) { return a.base_ != b.base_; }

private:
    Base base_{};
};

// The typed front of SEQUENCE OF (Tag 0x10) and SET OF (Tag 0x11) for element class T.
template <class T, class Constraint, unsigned Tag>
class ListOf : public SEQUENCE_OF_Base {
public:
    static constexpr InfoType theInfo = {
        {Allocator<ListOf>::info(Tag), Constraint::type, Constraint::lowerLimit, Constraint::upperLimit}, &T::theInfo};

    using iterator = ElementIterator<T, SEQUENCE_OF_Base::iterator>;
    using const_iterator = ElementIterator<const T, SEQUENCE_OF_Base::const_iterator>;

    explicit ListOf(const InfoType* info = &theInfo) : SEQUENCE_OF_Base(info) {}

    iterator begin() { return iterator(SEQUENCE_OF_Base::begin()); }
    iterator end() { return iterator(SEQUENCE_OF_Base::end()); }
    const_iterator begin() const { return const_iterator(SEQUENCE_OF_Base::begin()); }
    const_iterator end() const { return const_iterator(SEQUENCE_OF_Base::end()); }
    // No bound check.
    T& operator[](unsigned i) { return static_cast<T&>(SEQUENCE_OF_Base::operator[](i)); }
    const T& operator[](unsigned i) const { return static_cast<const T&>(SEQUENCE_OF_Base::operator[](i)); }

    // Appends a deep copy of x.
    void push_back(const T& x) { append(x.clone()); }
    // Deletes the element; returns the iterator to the next one.
    iterator erase(const_iterator pos)
    {
        const SEQUENCE_OF_Base::const_iterator at = pos.base();
        return iterator(SEQUENCE_OF_Base::erase(at, std::next(at)));
    }
};

}  // namespace detail

template <class T, class Constraint = EmptyConstraint>
using SEQUENCE_OF = detail::ListOf<T, Constraint, 0x10>;
template <class T, class Constraint = EmptyConstraint>
using SET_OF = detail::ListOf<T, Constraint, 0x11>;

}  // namespace ASN1
