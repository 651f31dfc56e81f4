#pragma once

// Access to the optional fields and extension additions of the generated SEQUENCE classes
// (their get_ and set_ members), by optional id and component index.

#include "asn1/runtime/sequence.h"

#include <boost/polymorphic_cast.hpp>

namespace OptionalField {

// The component, marked present and created when it did not exist yet: what a caller that
// writes into it needs.
template <class T>
T& included(ASN1::SEQUENCE& seq, unsigned id, unsigned index)
{
    seq.includeOptionalField(id, index);
    return seq.field<T>(index);
}

// The component when present; otherwise a value of T in its default state, so that reading an
// absent field never touches a component that does not exist.
template <class T>
const T& present(const ASN1::SEQUENCE& seq, unsigned id, unsigned index)
{
    const ASN1::AbstractData* component = seq.hasOptionalField(id) ? seq.getField(index) : nullptr;
    if (component)
        return *boost::polymorphic_downcast<const T*>(component);
    static const T absent;
    return absent;
}

}  // namespace OptionalField
