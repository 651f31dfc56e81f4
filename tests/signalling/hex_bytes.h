#pragma once

// Octets written as hexadecimal pairs between blanks, as the tests give frames and messages.

#include <sstream>
#include <string>
#include <vector>

namespace signallingtest {

using Bytes = std::vector<unsigned char>;

inline Bytes bytes(const std::string& hex)
{
    std::istringstream in(hex);
    Bytes octets;
    for (unsigned octet; in >> std::hex >> octet;)
        octets.push_back(static_cast<unsigned char>(octet));
    return octets;
}

}  // namespace signallingtest
