#pragma once

#include "asn1/runtime/integer.h"

#include <string>

namespace ASN1 {

// An INTEGER whose descriptor names some of its values.
class IntegerWithNamedNumber : public INTEGER {
public:
    struct NameEntry {
        int value;
        const char* name;
    };
    struct InfoType : ConstrainedObject::InfoType {
        const NameEntry* nameEntries;  // sorted by value, compared as signed
        unsigned nameCount;
    };

    explicit IntegerWithNamedNumber(const InfoType* info) : INTEGER(info) {}
    IntegerWithNamedNumber(int value, const InfoType* info) : INTEGER(value, info) {}

    const InfoType* info() const { return static_cast<const InfoType*>(AbstractData::info()); }

    // True and the name when an entry carries exactly this value.
    bool getName(std::string& name) const;
    // The value of the first entry with this name; false when none has it.
    bool setFromName(const std::string& name);

protected:
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;
};

}  // namespace ASN1
