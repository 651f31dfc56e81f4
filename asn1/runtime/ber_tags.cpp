#include "asn1/runtime/ber_tags.h"

namespace ASN1::ber {

unsigned fieldTag(const SEQUENCE::InfoType& info, unsigned index)
{
    if (!info.fieldTags)
        return contextTag(index);
    if (info.fieldTags == SEQUENCE::defaultTag)
        return info.fieldInfos[index] ? info.fieldInfos[index]->tag : 0;
    return info.fieldTags[index];
}

unsigned alternativeTag(const CHOICE::InfoType& info, unsigned index)
{
    return info.selectionTags ? info.selectionTags[index] : contextTag(index);
}

unsigned identifierOctets(unsigned tag)
{
    unsigned number = tagNumber(tag);
    if (number < 31)
        return 1;
    unsigned octets = 1;
    for (; number != 0; number >>= 7)
        ++octets;
    return octets;
}

unsigned lengthOctets(unsigned length)
{
    if (length < 128)
        return 1;
    unsigned octets = 1;
    for (; length != 0; length >>= 8)
        ++octets;
    return octets;
}

}  // namespace ASN1::ber
