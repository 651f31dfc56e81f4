#pragma once

// A row of bits kept as the octets of a PER bit-field: bit i is in octet i / 8 under the mask
// 0x80 >> (i % 8), and the bits of the last octet beyond the size are always clear.

#include <vector>

namespace ASN1 {

class BitMap {
public:
    BitMap() = default;
    explicit BitMap(unsigned totalBits) { resize(totalBits); }

    unsigned size() const { return totalBits_; }
    // New bits are clear.
    void resize(unsigned totalBits);
    // A bit beyond the size reads as clear.
    bool operator[](unsigned bit) const;
    // A bit beyond the size is ignored.
    void set(unsigned bit, bool on = true);
    bool any() const;

    const std::vector<char>& getData() const { return bitData_; }
    // Takes totalBits bits from the octets, most significant first (missing octets read as 0).
    void assign(const std::vector<char>& octets, unsigned totalBits);

private:
    void clearUnusedBits();

    unsigned totalBits_ = 0;
    std::vector<char> bitData_;
};

}  // namespace ASN1
