#pragma once

#include "asn1/runtime/abstract_data.h"

#include <string>
#include <vector>

namespace ASN1 {

class OCTET_STRING : public ConstrainedObject {
public:
    // Unconstrained.
    static const InfoType theInfo;

    explicit OCTET_STRING(const InfoType* info = &theInfo) : ConstrainedObject(info) {}
    OCTET_STRING(unsigned count, char fill, const InfoType* info = &theInfo) : ConstrainedObject(info), octets_(count, fill) {}
    explicit OCTET_STRING(const std::vector<char>& octets, const InfoType* info = &theInfo)
        : ConstrainedObject(info), octets_(octets)
    {
    }

    const std::vector<char>& getValue() const { return octets_; }
    std::vector<char>& getValue() { return octets_; }
    unsigned size() const { return static_cast<unsigned>(octets_.size()); }
    // The octets as they are.
    operator std::string() const { return std::string(octets_.begin(), octets_.end()); }

protected:
    // lexicographic_compare_bytes.
    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;

private:
    std::vector<char> octets_;
};

}  // namespace ASN1
