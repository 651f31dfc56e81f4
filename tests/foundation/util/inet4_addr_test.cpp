#include "foundation/util/inet4_addr.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(INet4Addr, ParsesAddressAndPortABadAddressFailsButTakesThePortAndAPeerWithABadPortIsRefused)
{
    INet4::Addr addr;
    int port = 0;
    ASSERT_TRUE(addr.Assign("192.168.1.10:20001", &port));
    EXPECT_EQ(port, 20001);
    EXPECT_EQ(addr.GetVector(), (std::vector<unsigned char>{192, 168, 1, 10}));
    // Printed in decimal whatever the stream's base.
    std::ostringstream out;
    out << std::hex << addr;
    EXPECT_EQ(out.str(), "192.168.1.10:20001");
    // Without a colon the stored port stays and -1 tells the caller there was none.
    ASSERT_TRUE(addr.Assign(std::string("10.0.0.2"), &port));
    EXPECT_EQ(port, -1);
    EXPECT_EQ(addr.GetString(), "10.0.0.2:20001");
    ASSERT_TRUE(addr.Assign("127.0.0.9:1"));
    EXPECT_FALSE(addr.Assign("foo:80", &port));
    EXPECT_EQ(port, 80);
    EXPECT_FALSE(addr.Assign(":81", &port));
    EXPECT_FALSE(addr.Assign("", &port));
    EXPECT_EQ(addr.GetString(), "127.0.0.9:81");
    // Assign cuts the port to 16 bits; a peer's text with such a port is refused.
    EXPECT_TRUE(addr.Assign("10.0.0.3:70000", &port));
    EXPECT_EQ(port, 70000);
    EXPECT_EQ(addr.GetString(), "10.0.0.3:4464");
    for (const char* refused : {"10.0.0.3:0", "10.0.0.3:-1", "10.0.0.3:65536", "10.0.0.3:70000", "10.0.0.3:x", "x:80",
                                "1.2.3.4:4294967297", "1.2.3.4:-4294967295", "1.2.3.4:99999999999999999999"})
        EXPECT_FALSE(INet4::AssignPeer(addr, refused)) << refused;
    for (const char* taken : {"10.0.0.3:65535", "10.0.0.3"})
        EXPECT_TRUE(INet4::AssignPeer(addr, taken)) << taken;
}

}  // namespace
