#include "emulator/text.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace Emulator {

Words split_words(const std::string& line)
{
    Words words;
    std::istringstream in(line);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

bool parse_number(const std::string& text, long long& number)
{
    size_t digits = text.compare(0, 1, "-") == 0 ? 1 : 0;
    int base = text.compare(digits, 2, "0x") == 0 || text.compare(digits, 2, "0X") == 0 ? 16 : 10;
    if (text.size() <= digits + (base == 16 ? 2 : 0))
        return false;
    char* end = nullptr;
    errno = 0;
    number = std::strtoll(text.c_str(), &end, base);
    return errno == 0 && *end == '\0';
}

bool parse_option(const std::string& word, const std::string& name, long long& number)
{
    return word.size() > name.size() && word.compare(0, name.size(), name) == 0 && word[name.size()] == '=' &&
           parse_number(word.substr(name.size() + 1), number);
}

namespace {

int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

bool parse_bytes(const std::string& text, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    if (text == "-")
        return true;
    if (text.empty() || text.size() % 2)
        return false;
    for (size_t i = 0; i < text.size(); i += 2) {
        int high = hex_digit(text[i]);
        int low = hex_digit(text[i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    return true;
}

std::string bytes_text(const uint8_t* bytes, size_t size)
{
    if (!size)
        return "-";
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0xF];
    }
    return text;
}

std::string errno_name(int error)
{
    const char* name = strerrorname_np(error);
    return name ? name : std::to_string(error);
}

bool parse_errno(const std::string& text, int& error)
{
    long long number;
    if (parse_number(text, number)) {
        error = static_cast<int>(number);
        return number > 0 && number < 4096;
    }
    for (int candidate = 1; candidate < 4096; ++candidate) {
        const char* name = strerrorname_np(candidate);
        if (name && text == name) {
            error = candidate;
            return true;
        }
    }
    return false;
}

std::string code_text(uint32_t code)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", code);
    return text;
}

}  // namespace Emulator
