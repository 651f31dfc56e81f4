#include "asn1/runtime/abstract_data.h"

#include <functional>

namespace ASN1 {

int AbstractData::compare(const AbstractData& other) const
{
    if (info_ != other.info_)
        return std::less<const InfoType*>()(info_, other.info_) ? -1 : 1;
    return do_compare(other);
}

}  // namespace ASN1
