#pragma once

#include "asn1/runtime/abstract_data.h"

#include <string>
#include <string_view>

namespace ASN1 {

// The value of an ENUMERATED is the enumerator's number itself.
class ENUMERATED : public AbstractData {
public:
    // Plain data only: a SEQUENCE drops its value without calling the destructor.
    using Plain = ENUMERATED;

    struct InfoType : AbstractData::InfoType {
        bool extendable;   // the type has an extension marker
        int maxEnumValue;  // the largest value of the root
        // One entry per enumerator in declaration order: "name", or "name=N" for a name whose value
        // N is not the previous entry's value plus one (0 for a first entry without a number).
        const char* const* names;
        unsigned nameCount;
    };

    explicit ENUMERATED(const InfoType* info) : AbstractData(info) {}

    const InfoType* info() const { return static_cast<const InfoType*>(AbstractData::info()); }

    int getValue() const { return value_; }
    void setValue(int value) { value_ = value; }
    int getMaximum() const { return info()->maxEnumValue; }
    bool extendable() const { return info()->extendable; }
    // A value of the root: 0 to maxEnumValue.
    bool isStrictlyValid() const;

    // The name of the first entry carrying the value, without "=N"; empty when the value lies
    // outside 0..maxEnumValue or no entry carries it (the caller then prints the number).
    std::string_view getName() const;
    // Takes the value of the first entry with this name; false when no entry has it, otherwise
    // whether that value is at most maxEnumValue.
    bool setFromName(std::string_view name);

protected:
    // The difference, wrapping in 32 bits.
    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;

private:
    int value_ = 0;
};

}  // namespace ASN1
