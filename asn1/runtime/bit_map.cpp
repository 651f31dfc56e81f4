#include "asn1/runtime/bit_map.h"

#include <algorithm>

namespace ASN1 {

namespace {

constexpr unsigned octetsFor(unsigned bits) { return bits / 8 + (bits % 8 != 0); }
constexpr char maskOf(unsigned bit) { return static_cast<char>(0x80u >> (bit % 8)); }

}  // namespace

void BitMap::resize(unsigned totalBits)
{
    totalBits_ = totalBits;
    bitData_.resize(octetsFor(totalBits));
    clearUnusedBits();
}

bool BitMap::operator[](unsigned bit) const
{
    return bit < totalBits_ && (bitData_[bit / 8] & maskOf(bit)) != 0;
}

void BitMap::set(unsigned bit, bool on)
{
    if (bit >= totalBits_)
        return;
    if (on)
        bitData_[bit / 8] |= maskOf(bit);
    else
        bitData_[bit / 8] &= static_cast<char>(~maskOf(bit));
}

bool BitMap::any() const
{
    return std::any_of(bitData_.begin(), bitData_.end(), [](char octet) { return octet != 0; });
}

void BitMap::assign(const std::vector<char>& octets, unsigned totalBits)
{
    totalBits_ = totalBits;
    const unsigned count = octetsFor(totalBits);
    bitData_.assign(octets.begin(), octets.begin() + std::min<std::size_t>(count, octets.size()));
    bitData_.resize(count);
    clearUnusedBits();
}

void BitMap::clearUnusedBits()
{
    if (totalBits_ % 8 != 0)
        bitData_.back() &= static_cast<char>(0xff00u >> (totalBits_ % 8));
}

}  // namespace ASN1
