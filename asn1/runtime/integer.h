#pragma once

#include "asn1/runtime/abstract_data.h"

namespace ASN1 {

// A signed 32-bit whole number; the descriptor's constraint binds the coders and checkers only.
class INTEGER : public ConstrainedObject {
public:
    // Plain data only: a SEQUENCE drops its value without calling the destructor.
    using Plain = INTEGER;

    // Unconstrained.
    static const InfoType theInfo;

    explicit INTEGER(const InfoType* info = &theInfo) : ConstrainedObject(info) {}
    explicit INTEGER(int value, const InfoType* info = &theInfo) : ConstrainedObject(info), value_(value) {}

    int getValue() const { return value_; }
    void setValue(int value) { value_ = value; }
    // Within the descriptor's range: compared as signed numbers when lowerLimit is negative,
    // else as unsigned ones. Any value of an unconstrained INTEGER is.
    bool isStrictValid() const;

protected:
    // The difference, wrapping in 32 bits.
    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;

private:
    int value_ = 0;
};

// The typed front of a constrained integer: one descriptor per instance. The number is stored
// unchecked; the range binds the coders and checkers.
template <ConstraintType Type, int Lower, unsigned Upper>
class Constrained_INTEGER : public INTEGER {
public:
    static constexpr InfoType theInfo = {detail::Allocator<Constrained_INTEGER>::info(2), Type, Lower, Upper};

    explicit Constrained_INTEGER(const InfoType* info = &theInfo) : INTEGER(info) {}

    unsigned getValue() const { return static_cast<unsigned>(INTEGER::getValue()); }
    Constrained_INTEGER& operator=(unsigned value)
    {
        setValue(static_cast<int>(value));
        return *this;
    }
};

}  // namespace ASN1
