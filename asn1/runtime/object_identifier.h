#pragma once

#include "asn1/runtime/abstract_data.h"

#include <vector>

namespace ASN1 {

class OBJECT_IDENTIFIER : public AbstractData {
public:
    static const InfoType theInfo;

    explicit OBJECT_IDENTIFIER(const InfoType* info = &theInfo) : AbstractData(info) {}

    const std::vector<unsigned>& getValue() const { return arcs_; }
    std::vector<unsigned>& getValue() { return arcs_; }

    // Appends the contents octets of the BER encoding (X.690): 40 x first arc + second arc, then
    // the other arcs, each in base 128 with bit 8 set on all octets but the last. Fewer than two
    // arcs append nothing.
    void encodeCommon(std::vector<char>& out) const;
    // Replaces the arcs by those of the contents octets; an empty input gives no arcs. False for
    // a sub-identifier cut off by the end of the input or too large for its arc; the arcs read
    // before stay.
    bool decodeCommon(const char* data, unsigned length);

protected:
    // Arc by arc (the first difference decides), then the arc count.
    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;

private:
    std::vector<unsigned> arcs_;
};

}  // namespace ASN1
