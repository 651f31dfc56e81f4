#include "foundation/util/ext_hex.h"
#include "foundation/util/ext_header.h"
#include "foundation/util/ext_quoted.h"

#include <gtest/gtest.h>

#include <iomanip>
#include <sstream>
#include <string>

namespace {

TEST(ExtHexTest, BufferBytesAreTwoUpperCaseDigitsAndABlank)
{
    const uint8_t bytes[] = {0x0A, 0xFF};
    std::ostringstream out;
    out << std::left << std::setfill('*') << ext::OutBufInHex(bytes, bytes + 2) << 10;
    EXPECT_EQ(out.str(), "0A FF 10");
    EXPECT_EQ(out.fill(), ' ');
    EXPECT_TRUE(out.flags() & std::ios_base::left);

    std::ostringstream empty;
    empty << ext::OutBufInHex(bytes, bytes);
    EXPECT_EQ(empty.str(), "");
}

TEST(ExtHexTest, UnsignedIsPaddedToTheWidth)
{
    std::ostringstream out;
    out << ext::OutUnsignedInHex(26) << ' ' << ext::OutUnsignedInHex(26, 4) << ' '
        << ext::OutUnsignedInHex(0xABCDEF01u, -3) << ' ' << 26;
    EXPECT_EQ(out.str(), "0x1A 0x001A 0xABCDEF01 26");
    EXPECT_EQ(out.fill(), ' ');
}

struct Logger {
    int id = 7;
    void PutHeader(std::ostream& out) const { out << "logger " << id << ": "; }
};

TEST(ExtHeaderTest, HeaderAndQuotedValues)
{
    Logger logger;
    std::ostringstream out;
    out << ext::header(&logger) << "state " << ext::quoted("abc") << ' ' << ext::quoted(std::string("x y"));
    EXPECT_EQ(out.str(), "logger 7: state \"abc\" \"x y\"");
}

}  // namespace
