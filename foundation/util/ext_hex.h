#pragma once

// Hexadecimal output for log lines: byte buffers as "0A FF " (two upper-case digits and a
// blank per byte) and numbers as "0x001A".

#include <cstdint>
#include <ostream>

namespace ext {

class OutBufInHex {
public:
    OutBufInHex(const void* begin, const void* end)
        : begin_(static_cast<const uint8_t*>(begin)), end_(static_cast<const uint8_t*>(end))
    {
    }
    // Leaves the stream's fill character a blank and its format flags as they were.
    std::ostream& Put(std::ostream& out) const;

private:
    const uint8_t* begin_;
    const uint8_t* end_;
};

class OutUnsignedInHex {
public:
    // A width of 0 or less pads nothing.
    explicit OutUnsignedInHex(uint32_t value, int width = 0) : value_(value), width_(width) {}
    // Leaves the stream's fill character a blank and its format flags as they were.
    std::ostream& Put(std::ostream& out) const;

private:
    uint32_t value_;
    int width_;
};

inline std::ostream& operator<<(std::ostream& out, const OutBufInHex& hex) { return hex.Put(out); }
inline std::ostream& operator<<(std::ostream& out, const OutUnsignedInHex& hex) { return hex.Put(out); }

}  // namespace ext
