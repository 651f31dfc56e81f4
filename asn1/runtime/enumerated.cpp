#include "asn1/runtime/enumerated.h"

#include "asn1/runtime/const_visitor.h"
#include "asn1/runtime/visitor.h"

#include <boost/polymorphic_cast.hpp>

#include <charconv>

namespace ASN1 {

namespace {

// Walks the names table in order, computing each entry's value, until found(name, value) holds.
template <class Found>
bool findEntry(const ENUMERATED::InfoType& info, Found found)
{
    int value = -1;
    for (unsigned i = 0; i < info.nameCount; ++i) {
        const std::string_view entry(info.names[i]);
        const std::size_t equals = entry.find('=');
        if (equals == std::string_view::npos) {
            ++value;
        } else {
            const std::string_view number = entry.substr(equals + 1);
            std::from_chars(number.data(), number.data() + number.size(), value);
        }
        if (found(entry.substr(0, equals), value))
            return true;
    }
    return false;
}

}  // namespace

std::string_view ENUMERATED::getName() const
{
    std::string_view result;
    if (value_ < 0 || value_ > info()->maxEnumValue)
        return result;
    findEntry(*info(), [&](std::string_view name, int value) {
        if (value != value_)
            return false;
        result = name;
        return true;
    });
    return result;
}

bool ENUMERATED::setFromName(std::string_view name)
{
    int found_value = 0;
    if (!findEntry(*info(), [&](std::string_view entry_name, int value) {
            found_value = value;
            return entry_name == name;
        }))
        return false;
    value_ = found_value;
    return value_ <= info()->maxEnumValue;
}

int ENUMERATED::do_compare(const AbstractData& other) const
{
    const unsigned other_value = static_cast<unsigned>(boost::polymorphic_downcast<const ENUMERATED*>(&other)->value_);
    return static_cast<int>(static_cast<unsigned>(value_) - other_value);
}

AbstractData* ENUMERATED::do_clone() const { return cloneThrough(*this); }

bool ENUMERATED::do_accept(Visitor& visitor) { return visitor.visit(*this); }

bool ENUMERATED::do_accept(ConstVisitor& visitor) const { return visitor.visit(*this); }

}  // namespace ASN1
