#pragma once

#include "asn1/runtime/abstract_data.h"
#include "asn1/runtime/bit_map.h"

namespace ASN1 {

class BIT_STRING : public ConstrainedObject {
public:
    // Unconstrained.
    static const InfoType theInfo;

    explicit BIT_STRING(const InfoType* info = &theInfo) : ConstrainedObject(info) {}

    // The bit count.
    unsigned size() const { return bits_.size(); }
    const BitMap& getValue() const { return bits_; }
    BitMap& getValue() { return bits_; }

protected:
    // At the first differing octet, (this AND d) - (other AND d) with d the differing bits; with
    // no differing octet, the difference of the bit counts.
    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;

private:
    BitMap bits_;
};

}  // namespace ASN1
