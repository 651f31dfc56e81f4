#pragma once

#include "asn1/runtime/abstract_data.h"

namespace ASN1 {

class Null : public AbstractData {
public:
    // Plain data only: a SEQUENCE drops its value without calling the destructor.
    using Plain = Null;

    static const InfoType theInfo;

    explicit Null(const InfoType* info = &theInfo) : AbstractData(info) {}

protected:
    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;
};

}  // namespace ASN1
