#pragma once

// Two arithmetic helpers shared by the value classes and the coders.

namespace ASN1 {

// Bits needed to code n different values: 32 for n = 0 (a range of 2^32), 0 for n = 1, otherwise
// the smallest b with 2^b >= n. Every constrained number of the coders asks, so it is inline.
inline unsigned CountBits(unsigned n)
{
    return n == 0 ? 32 : n == 1 ? 0 : 32 - static_cast<unsigned>(__builtin_clz(n - 1));
}

// Compares two octet ranges as unsigned octets: the difference of the first differing pair;
// when one range is a prefix of the other, 0 for equal ranges, 1 when the first is longer and
// -1 when the second is longer.
int lexicographic_compare_bytes(const char* first1, const char* last1, const char* first2, const char* last2);

}  // namespace ASN1
