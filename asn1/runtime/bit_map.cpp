#include "asn1/runtime/bit_map.h"

#include <algorithm>
#include <cstring>

namespace ASN1 {

BitMap& BitMap::operator=(const BitMap& other)
{
    if (this != &other)
        std::memcpy(fill(other.totalBits_), other.data(), other.octetCount());
    return *this;
}

BitMap& BitMap::operator=(BitMap&& other) noexcept
{
    if (this != &other) {
        totalBits_ = other.totalBits_;
        wideOctets_ = other.wideOctets_;
        std::memcpy(local_, other.local_, localOctets);
        wide_ = std::move(other.wide_);
        other.totalBits_ = 0;
        other.wideOctets_ = 0;
    }
    return *this;
}

void BitMap::resize(unsigned totalBits)
{
    const unsigned before = octetCount();
    const unsigned after = octetsFor(totalBits);
    if (after > capacity()) {
        std::unique_ptr<char[]> wider(new char[after]);
        std::memcpy(wider.get(), data(), before);
        wide_ = std::move(wider);
        wideOctets_ = after;
    }
    if (after > before)
        std::memset(octets() + before, 0, after - before);
    totalBits_ = totalBits;
    clearUnusedBits();
}

char* BitMap::fillWide(unsigned totalBits)
{
    resize(0);
    resize(totalBits);
    return octets();
}

bool BitMap::any() const
{
    return std::any_of(data(), data() + octetCount(), [](char octet) { return octet != 0; });
}

void BitMap::assign(const std::vector<char>& octets, unsigned totalBits)
{
    char* bits = fill(totalBits);
    if (!octets.empty())
        std::memcpy(bits, octets.data(), std::min<std::size_t>(octetCount(), octets.size()));
    clearUnusedBits();
}

void BitMap::clearUnusedBits()
{
    if (totalBits_ % 8 != 0)
        octets()[totalBits_ / 8] &= static_cast<char>(0xff00u >> (totalBits_ % 8));
}

}  // namespace ASN1
