#pragma once

// Driver records in the board processor's byte order (big-endian), built and read byte by byte at
// explicit offsets, never by copying host structs, so that the same code is right on the board and
// on a little-endian PC.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace BigEndian {

inline void put_u8(uint8_t* record, size_t offset, uint8_t value) { record[offset] = value; }

inline void put_u16(uint8_t* record, size_t offset, uint16_t value)
{
    record[offset] = static_cast<uint8_t>(value >> 8);
    record[offset + 1] = static_cast<uint8_t>(value);
}

inline void put_u32(uint8_t* record, size_t offset, uint32_t value)
{
    record[offset] = static_cast<uint8_t>(value >> 24);
    record[offset + 1] = static_cast<uint8_t>(value >> 16);
    record[offset + 2] = static_cast<uint8_t>(value >> 8);
    record[offset + 3] = static_cast<uint8_t>(value);
}

inline void put_i32(uint8_t* record, size_t offset, int32_t value)
{
    put_u32(record, offset, static_cast<uint32_t>(value));
}

// IEEE 754 single precision, sent as its 32-bit pattern.
inline void put_float(uint8_t* record, size_t offset, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    put_u32(record, offset, bits);
}

inline uint8_t get_u8(const uint8_t* record, size_t offset) { return record[offset]; }

inline uint16_t get_u16(const uint8_t* record, size_t offset)
{
    return static_cast<uint16_t>(record[offset] << 8 | record[offset + 1]);
}

inline uint32_t get_u32(const uint8_t* record, size_t offset)
{
    return uint32_t{record[offset]} << 24 | uint32_t{record[offset + 1]} << 16 | uint32_t{record[offset + 2]} << 8 |
           uint32_t{record[offset + 3]};
}

inline int32_t get_i32(const uint8_t* record, size_t offset) { return static_cast<int32_t>(get_u32(record, offset)); }

inline float get_float(const uint8_t* record, size_t offset)
{
    uint32_t bits = get_u32(record, offset);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

}  // namespace BigEndian
