#pragma once

#include "asn1/runtime/abstract_data.h"

namespace ASN1 {

class BOOLEAN : public AbstractData {
public:
    // Plain data only: a SEQUENCE drops its value without calling the destructor.
    using Plain = BOOLEAN;

    static const InfoType theInfo;

    explicit BOOLEAN(const InfoType* info = &theInfo) : AbstractData(info) {}
    explicit BOOLEAN(bool value, const InfoType* info = &theInfo) : AbstractData(info), value_(value) {}

    bool getValue() const { return value_; }
    void setValue(bool value) { value_ = value; }

protected:
    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;

private:
    bool value_ = false;
};

}  // namespace ASN1
