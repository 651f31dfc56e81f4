#include "foundation/os/net.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include <arpa/inet.h>

namespace {

std::set<std::string> dotted(const std::list<INet4::Addr>& list)
{
    std::set<std::string> out;
    for (const INet4::Addr& addr : list)
        out.insert(addr.GetString().substr(0, addr.GetString().find(':')));
    return out;
}

TEST(Net, AddressFormListsWhatIpListsAndFilters)
{
    std::set<std::string> expected;
    FILE* ip = popen("ip -4 -o addr show 2>/dev/null", "r");
    char line[512], address[64];
    while (ip && fgets(line, sizeof line, ip))
        if (sscanf(line, "%*d: %*s inet %63[0-9.]", address) == 1)
            expected.insert(address);
    if (!ip || pclose(ip) != 0)
        GTEST_SKIP() << "the ip command is not available";

    std::list<INet4::Addr> all, others, private_only;
    ASSERT_EQ(Net::ifconfig(all, 0), int(expected.size()));
    EXPECT_EQ(dotted(all), expected);
    ASSERT_GE(Net::ifconfig(others, Net::if_not_loopback), 0);
    expected.erase("127.0.0.1");
    EXPECT_EQ(dotted(others), expected);
    ASSERT_GE(Net::ifconfig(private_only, Net::if_private), 0);
    for (const INet4::Addr& addr : private_only) {
        uint32_t host = ntohl(addr.address());
        EXPECT_TRUE((host >> 24) == 10 || (host >> 20) == 0xAC1 || (host >> 16) == 0xC0A8) << addr.GetString();
    }
}

}  // namespace
