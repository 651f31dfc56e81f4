#include "foundation/util/inet4_addr.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(INet4Addr, ParsesAddressAndPortAndABadAddressFailsButTakesThePort)
{
    INet4::Addr addr;
    int port = 0;
    ASSERT_TRUE(addr.Assign("192.168.1.10:20001", &port));
    EXPECT_EQ(port, 20001);
    EXPECT_EQ(addr.GetString(), "192.168.1.10:20001");
    EXPECT_EQ(addr.GetVector(), (std::vector<unsigned char>{192, 168, 1, 10}));

    // Without a colon the stored port stays and -1 tells the caller there was none.
    ASSERT_TRUE(addr.Assign(std::string("10.0.0.2"), &port));
    EXPECT_EQ(port, -1);
    EXPECT_EQ(addr.GetString(), "10.0.0.2:20001");

    ASSERT_TRUE(addr.Assign("1.2.3.4:70000", &port));
    EXPECT_EQ(port, 70000);
    EXPECT_EQ(addr.port(), 4464);
    ASSERT_TRUE(addr.Assign("1.2.3.4:http", &port));
    EXPECT_EQ(port, 0);

    ASSERT_TRUE(addr.Assign("127.0.0.9:1"));
    EXPECT_FALSE(addr.Assign("foo:80", &port));
    EXPECT_EQ(port, 80);
    EXPECT_FALSE(addr.Assign(":81", &port));
    EXPECT_FALSE(addr.Assign("", &port));
    EXPECT_EQ(addr.GetString(), "127.0.0.9:81");

    // A reset address prints zeroes in decimal.
    addr.Reset();
    std::ostringstream out;
    out << std::hex << addr << ' ' << 255;
    EXPECT_EQ(out.str(), "0.0.0.0:0 255");
}

}  // namespace
