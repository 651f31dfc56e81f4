#pragma once

// A row of bits kept as the octets of a PER bit-field: bit i is in octet i / 8 under the mask
// 0x80 >> (i % 8), and the bits of the last octet beyond the size are always clear. Rows of up to
// 64 bits (every presence map of a message) are held in place; longer ones on the heap.

#include "asn1/runtime/forced_inline.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace ASN1 {

class BitMap {
public:
    BitMap() = default;
    explicit BitMap(unsigned totalBits) { fill(totalBits); }
    BitMap(const BitMap& other) { *this = other; }
    BitMap(BitMap&& other) noexcept { *this = std::move(other); }
    BitMap& operator=(const BitMap& other);
    BitMap& operator=(BitMap&& other) noexcept;

    unsigned size() const { return totalBits_; }
    // New bits are clear.
    void resize(unsigned totalBits);
    // A bit beyond the size reads as clear.
    bool operator[](unsigned bit) const { return bit < totalBits_ && (data()[bit / 8] & maskOf(bit)) != 0; }
    // A bit beyond the size is ignored.
    void set(unsigned bit, bool on = true)
    {
        if (bit >= totalBits_)
            return;
        char& octet = octets()[bit / 8];
        octet = static_cast<char>(on ? octet | maskOf(bit) : octet & ~maskOf(bit));
    }
    bool any() const;
    // The first n bits (n at most 32) as a number, bit 0 the highest of them.
    ASN1_FORCED_INLINE unsigned head(unsigned n) const
    {
        if (n == 0)
            return 0;
        // Four octets are always there, those beyond the size in any state.
        const auto* octets = reinterpret_cast<const unsigned char*>(data());
        std::uint32_t word = std::uint32_t(octets[0]) << 24 | std::uint32_t(octets[1]) << 16 |
                             std::uint32_t(octets[2]) << 8 | octets[3];
        if (totalBits_ < 32)
            word &= totalBits_ ? ~0u << (32 - totalBits_) : 0;
        return word >> (32 - n);
    }

    // The octets, octetCount() of them.
    const char* data() const { return wide_ ? wide_.get() : local_; }
    unsigned octetCount() const { return octetsFor(totalBits_); }
    // Takes totalBits bits from the octets, most significant first (missing octets read as 0).
    void assign(const std::vector<char>& octets, unsigned totalBits);
    // The map becomes n bits (n at most 32) taken from the low n bits of bits, the highest first.
    ASN1_FORCED_INLINE void assignHead(unsigned bits, unsigned n)
    {
        char* octets = wide_ ? fillWide(n) : local_;
        totalBits_ = n;
        std::uint32_t top = n ? bits << (32 - n) : 0;
        // Four octets written whatever n is, in one store: those beyond it are clear, as they must be.
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        top = __builtin_bswap32(top);
#endif
        std::memcpy(octets, &top, sizeof top);
    }
    // Clears the map to totalBits bits and hands out its octets for the caller to fill, leaving
    // the bits beyond totalBits clear (how a decoder reads a bit-field in place).
    char* fill(unsigned totalBits)
    {
        if (wide_ || totalBits > localOctets * 8)
            return fillWide(totalBits);
        std::memset(local_, 0, localOctets);
        totalBits_ = totalBits;
        return local_;
    }

private:
    static constexpr unsigned localOctets = 8;
    static constexpr unsigned octetsFor(unsigned bits) { return bits / 8 + (bits % 8 != 0); }
    static constexpr int maskOf(unsigned bit) { return 0x80 >> (bit % 8); }

    char* octets() { return wide_ ? wide_.get() : local_; }
    char* fillWide(unsigned totalBits);
    unsigned capacity() const { return wide_ ? wideOctets_ : localOctets; }
    void clearUnusedBits();

    unsigned totalBits_ = 0;
    unsigned wideOctets_ = 0;
    char local_[localOctets] = {};
    std::unique_ptr<char[]> wide_;
};

}  // namespace ASN1
