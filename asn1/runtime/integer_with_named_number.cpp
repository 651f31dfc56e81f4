#include "asn1/runtime/integer_with_named_number.h"

#include "asn1/runtime/const_visitor.h"
#include "asn1/runtime/visitor.h"

#include <algorithm>

namespace ASN1 {

bool IntegerWithNamedNumber::getName(std::string& name) const
{
    const NameEntry* first = info()->nameEntries;
    const NameEntry* last = first + info()->nameCount;
    const NameEntry* found = std::lower_bound(
        first, last, getValue(), [](const NameEntry& entry, int value) { return entry.value < value; });
    if (found == last || found->value != getValue())
        return false;
    name = found->name;
    return true;
}

bool IntegerWithNamedNumber::setFromName(const std::string& name)
{
    const NameEntry* first = info()->nameEntries;
    const NameEntry* last = first + info()->nameCount;
    const NameEntry* found = std::find_if(first, last, [&](const NameEntry& entry) { return name == entry.name; });
    if (found == last)
        return false;
    setValue(found->value);
    return true;
}

bool IntegerWithNamedNumber::do_accept(Visitor& visitor) { return visitor.visit(*this); }

bool IntegerWithNamedNumber::do_accept(ConstVisitor& visitor) const { return visitor.visit(*this); }

}  // namespace ASN1
