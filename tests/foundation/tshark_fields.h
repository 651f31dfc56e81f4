#pragma once

// An independent reading of what we put on the wire: packets go into a pcap file through
// text2pcap, which makes up the headers around them, and tshark dissects them.

#include "support/temp_root.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <string>
#include <vector>

namespace foundationtest {

inline bool tshark_available()
{
    return std::system("command -v tshark >/dev/null 2>&1 && command -v text2pcap >/dev/null 2>&1") == 0;
}

// What tshark prints for the packets; the options go to text2pcap and tshark.
inline std::string tshark_fields(const std::vector<std::vector<unsigned char>>& packets,
                                 const std::string& text2pcap_options, const std::string& tshark_options)
{
    testsupport::TempRoot dir;
    std::ofstream hex(dir / "/packets.txt");
    for (const auto& packet : packets) {
        hex << "0000" << std::hex << std::setfill('0');
        for (unsigned char byte : packet)
            hex << ' ' << std::setw(2) << int(byte);
        hex << '\n';
    }
    hex.close();
    const std::string pcap = dir / "/packets.pcap";
    if (std::system(("text2pcap -q " + text2pcap_options + " " + (dir / "/packets.txt") + " " + pcap +
                     " >/dev/null 2>&1").c_str()) != 0)
        return "text2pcap failed";
    std::string fields;
    FILE* tshark = popen(("tshark -r " + pcap + " " + tshark_options + " 2>/dev/null").c_str(), "r");
    char chunk[512];
    while (size_t n = fread(chunk, 1, sizeof chunk, tshark))
        fields.append(chunk, n);
    pclose(tshark);
    return fields;
}

}  // namespace foundationtest
