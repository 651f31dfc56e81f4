#include "monitoring/ber_build.h"

#include <cstring>

namespace SNMP {

namespace {

// The octets of a number below 2 to the power 40, most significant first.
unsigned char* build_number(unsigned char* position, int* room, unsigned char tag, uint64_t value, int length)
{
    position = _asn_build_header_check(asn_build_header(position, room, tag, length), room, length);
    if (!position)
        return nullptr;
    for (int i = length - 1; i >= 0; --i)
        *position++ = static_cast<unsigned char>(value >> (8 * i));
    *room -= length;
    return position;
}

// Octets of a sub-identifier in base 128.
int base128_length(uint64_t value)
{
    int length = 1;
    while (value >> (7 * length))
        ++length;
    return length;
}

}  // namespace

unsigned char* asn_build_length(unsigned char* position, int* room, int length)
{
    if (!position || !room || length < 0 || length > 0xFFFF)
        return nullptr;
    const int size = length < 0x80 ? 1 : length < 0x100 ? 2 : 3;
    if (*room < size)
        return nullptr;
    if (size > 1)
        *position++ = static_cast<unsigned char>(0x80 | (size - 1));
    if (size > 2)
        *position++ = static_cast<unsigned char>(length >> 8);
    *position++ = static_cast<unsigned char>(length);
    *room -= size;
    return position;
}

unsigned char* asn_build_header(unsigned char* position, int* room, unsigned char tag, int length)
{
    if (!position || !room || *room < 1)
        return nullptr;
    *position = tag;
    --*room;
    return asn_build_length(position + 1, room, length);
}

unsigned char* asn_build_sequence(unsigned char* position, int* room, unsigned char tag, int length)
{
    if (!position || !room || *room < 4 || length < 0 || length > 0xFFFF)
        return nullptr;
    position[0] = tag;
    position[1] = 0x82;
    position[2] = static_cast<unsigned char>(length >> 8);
    position[3] = static_cast<unsigned char>(length);
    *room -= 4;
    return position + 4;
}

unsigned char* _asn_build_header_check(unsigned char* position, int* room, int length)
{
    return position && room && length >= 0 && *room >= length ? position : nullptr;
}

unsigned char* asn_build_int(unsigned char* position, int* room, unsigned char tag, const int32_t* value, int size)
{
    if (!value || size != 4)
        return nullptr;
    const uint32_t bits = static_cast<uint32_t>(*value);
    int length = 4;
    // A top octet is redundant while the nine bits from the top are all equal.
    while (length > 1) {
        const uint32_t top = (bits >> (8 * length - 9)) & 0x1FF;
        if (top != 0 && top != 0x1FF)
            break;
        --length;
    }
    return build_number(position, room, tag, bits, length);
}

unsigned char* asn_build_unsigned_int(unsigned char* position, int* room, unsigned char tag, const uint32_t* value,
                                      int size)
{
    if (!value || size != 4)
        return nullptr;
    const uint32_t bits = *value;
    int length = 4;
    if (bits & 0x80000000u)
        length = 5;
    while (length > 1 && length < 5 && ((bits >> (8 * length - 9)) & 0x1FF) == 0)
        --length;
    return build_number(position, room, tag, bits, length);
}

unsigned char* asn_build_string(unsigned char* position, int* room, unsigned char tag, const unsigned char* value,
                                int length)
{
    position = _asn_build_header_check(asn_build_header(position, room, tag, length), room, length);
    if (!position)
        return nullptr;
    if (value)
        std::memcpy(position, value, length);
    else
        std::memset(position, 0, length);
    *room -= length;
    return position + length;
}

unsigned char* asn_build_bitstring(unsigned char* position, int* room, unsigned char tag,
                                   const unsigned char* value, int length)
{
    if (!value || length <= 0)
        return nullptr;
    return asn_build_string(position, room, tag, value, length);
}

unsigned char* asn_build_null(unsigned char* position, int* room, unsigned char tag)
{
    return asn_build_header(position, room, tag, 0);
}

unsigned char* asn_build_objid(unsigned char* position, int* room, unsigned char tag, const uint32_t* oid,
                               int count)
{
    if (count < 0 || count > 128 || (count > 0 && !oid))
        return nullptr;
    if (count > 0 && (oid[0] > 2 || (count > 1 && oid[0] < 2 && oid[1] >= 40)))
        return nullptr;
    // The first two sub-identifiers share the first value, which may exceed 32 bits (2.x).
    const int values = count < 2 ? 1 : count - 1;
    auto value = [oid, count](int i) -> uint64_t {
        if (i > 0)
            return oid[i + 1];
        return count == 0 ? 0 : uint64_t(oid[0]) * 40 + (count > 1 ? oid[1] : 0);
    };
    int length = 0;
    for (int i = 0; i < values; ++i)
        length += base128_length(value(i));
    position = _asn_build_header_check(asn_build_header(position, room, tag, length), room, length);
    if (!position)
        return nullptr;
    for (int i = 0; i < values; ++i) {
        const uint64_t v = value(i);
        for (int group = base128_length(v) - 1; group >= 0; --group)
            *position++ = static_cast<unsigned char>(((v >> (7 * group)) & 0x7F) | (group ? 0x80 : 0));
    }
    *room -= length;
    return position;
}

}  // namespace SNMP
