#pragma once

// BER (ITU-T X.690) writers of the SNMP trap encoder. Each writes at a position in a buffer of
// which *room bytes are free, lowers the room by what it wrote and returns the position after it;
// it returns null when the position is null (an earlier step failed), the room is short or the
// value cannot be encoded, and then nothing is written past the room.

#include <cstdint>

namespace SNMP {

// The shortest form: one octet up to 127, 0x81 and one octet up to 255, 0x82 and two up to 65535.
unsigned char* asn_build_length(unsigned char* position, int* room, int length);
unsigned char* asn_build_header(unsigned char* position, int* room, unsigned char tag, int length);
// A constructed header whose length always takes two octets (0x82), so that it can be written
// before its contents and patched in place afterwards.
unsigned char* asn_build_sequence(unsigned char* position, int* room, unsigned char tag, int length);
// The position after a header, when the header was written and length bytes still fit.
unsigned char* _asn_build_header_check(unsigned char* position, int* room, int length);

// Two's complement in the fewest octets; size must be 4.
unsigned char* asn_build_int(unsigned char* position, int* room, unsigned char tag, const int32_t* value, int size);
// The fewest octets that keep the value positive (a leading 0 before a set top bit); size must be 4.
unsigned char* asn_build_unsigned_int(unsigned char* position, int* room, unsigned char tag, const uint32_t* value,
                                      int size);
// The octets as given; without a value, length zero octets.
unsigned char* asn_build_string(unsigned char* position, int* room, unsigned char tag, const unsigned char* value,
                                int length);
// The octets as given (the caller includes the unused-bits octet); at least one octet.
unsigned char* asn_build_bitstring(unsigned char* position, int* room, unsigned char tag,
                                   const unsigned char* value, int length);
unsigned char* asn_build_null(unsigned char* position, int* room, unsigned char tag);
// At most 128 sub-identifiers; the first 0, 1 or 2, and below 40 the second when the first is 0
// or 1. No sub-identifier at all encodes as the single value 0.
unsigned char* asn_build_objid(unsigned char* position, int* room, unsigned char tag, const uint32_t* oid,
                               int count);

}  // namespace SNMP
