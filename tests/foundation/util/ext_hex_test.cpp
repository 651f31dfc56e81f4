#include "foundation/util/ext_hex.h"
#include "foundation/util/ext_header.h"
#include "foundation/util/ext_quoted.h"

#include <gtest/gtest.h>

#include <iomanip>
#include <sstream>
#include <string>

namespace {

struct Logger {
    void PutHeader(std::ostream& out) const { out << "logger 7: "; }
};

TEST(ExtHexTest, HexBytesNumbersHeadersAndQuotes)
{
    const uint8_t bytes[] = {0x0A, 0xFF};
    Logger logger;
    std::ostringstream out;
    out << std::left << std::setfill('*') << ext::OutBufInHex(bytes, bytes + 2) << 10 << '|'
        << ext::OutBufInHex(bytes, bytes) << ext::OutUnsignedInHex(26) << ' ' << ext::OutUnsignedInHex(26, 4) << ' '
        << ext::OutUnsignedInHex(0xABCDEF01u, -3) << ' ' << 26 << '|' << ext::header(&logger) << ext::quoted("abc")
        << ' ' << ext::quoted(std::string("x y"));
    EXPECT_EQ(out.str(), "0A FF 10|0x1A 0x001A 0xABCDEF01 26|logger 7: \"abc\" \"x y\"");
    EXPECT_EQ(out.fill(), ' ');
    EXPECT_TRUE(out.flags() & std::ios_base::left);
}

}  // namespace
