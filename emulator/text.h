#pragma once

// Text forms shared by the journal, the test control and the device models: words of a command
// line, numbers, hexadecimal byte strings and errno names.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Emulator {

using Words = std::vector<std::string>;

Words split_words(const std::string& line);

// Decimal, or hexadecimal with "0x"; an optional leading '-'. False for anything else.
bool parse_number(const std::string& text, long long& number);

// The number of a "<name>=<number>" word; false for any other word.
bool parse_option(const std::string& word, const std::string& name, long long& number);

// An even number of hexadecimal digits, one byte per pair; "-" is the empty record.
bool parse_bytes(const std::string& text, std::vector<uint8_t>& bytes);
std::string bytes_text(const uint8_t* bytes, size_t size);

// "ENODEV" for ENODEV; the number in decimal for an errno without a name.
std::string errno_name(int error);
// An errno by name ("ENODEV") or number.
bool parse_errno(const std::string& text, int& error);

// "0x80084D02"
std::string code_text(uint32_t code);

}  // namespace Emulator
