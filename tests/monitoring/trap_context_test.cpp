#include "monitoring/trap_context.h"

#include "foundation/tshark_fields.h"
#include "slots/udp_port.h"
#include "support/program_process.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <tuple>

namespace {

using namespace SNMP;
using Bytes = std::vector<unsigned char>;

// Octets written as hexadecimal pairs between blanks.
Bytes bytes(const std::string& hex)
{
    std::istringstream in(hex);
    Bytes octets;
    for (unsigned octet; in >> std::hex >> octet;)
        octets.push_back(static_cast<unsigned char>(octet));
    return octets;
}

// A begun trap; so far the header, the community and request id 991873, the first after seed 0.
struct Trap : TrapContext {
    explicit Trap(const char* community = "public")
    {
        snmp_session_seed(this, 0);
        trap_init(this, community);
        trap_pack_begin(this);
    }
};

TEST(TrapContext, EncodesEveryValueTypeInItsShortestFormAndRefusesWhatItCannotEncode)
{
    const int32_t i[] = {127, 128, -1, -129, INT32_MIN};
    const uint32_t u[] = {0xFFFFFFFF, 0x80, 0, 0x7FFFFFFF}, long_oid[129] = {1, 3};
    const uint32_t oid[] = {1, 3, 6, 1, 2, 999, 1, 40, 3, 1, 1, 3, 268435456};
    const unsigned char zeros[300] = {};
    // Tag, value, length and the octets after the binding's header and its name 0 (none: refused).
    const std::tuple<unsigned char, const void*, int, const char*> cases[] = {
        {0x02, &i[0], 4, "02 01 7f"}, {0x02, &i[1], 4, "02 02 00 80"}, {0x02, &i[2], 4, "02 01 ff"},
        {0x02, &i[3], 4, "02 02 ff 7f"}, {0x02, &i[4], 4, "02 04 80 00 00 00"}, {0x02, &i[0], 2, ""},
        {0x41, &u[0], 4, "41 05 00 ff ff ff ff"}, {0x43, &u[1], 4, "43 02 00 80"}, {0x42, &u[2], 4, "42 01 00"},
        {0x47, &u[3], 4, "47 04 7f ff ff ff"}, {0x06, oid, 16, "06 03 2b 06 01"}, {0x06, oid + 4, 8, "06 02 88 37"},
        {0x06, oid + 6, 8, ""}, {0x06, oid + 8, 8, ""}, {0x06, oid, 0, "06 01 00"},
        {0x06, oid + 10, 12, "06 06 2b 81 80 80 80 00"}, {0x06, long_oid, 516, ""}, {0x04, "ab", 2, "04 02 61 62"},
        {0x40, nullptr, 4, "40 04 00 00 00 00"}, {0x03, "\x02\xf0", 2, "03 02 02 f0"}, {0x03, nullptr, 0, ""},
        {0x05, nullptr, 0, "05 00"}, {0x46, &u[0], 4, ""}, {0x44, zeros, 128, "44 81 80"},
        {0x45, zeros, 300, "45 82 01 2c"},
    };
    for (const auto& [tag, value, length, octets] : cases) {
        Trap trap;
        unsigned char* start = trap.position + 7;
        const bool added = trap_pack_add(&trap, nullptr, 0, tag, value, length) == 0;
        Bytes expected = bytes(octets);
        expected.resize(expected.size() + (value == zeros ? length : 0));
        EXPECT_EQ(added ? Bytes(start, trap.position) : Bytes(), expected) << int(tag) << " length " << length;
        // A refused binding leaves the trap fit only to be initialised again.
        EXPECT_EQ(trap_pack_end(&trap), added ? 0 : -1);
        EXPECT_EQ(trap_pack_add(&trap, oid, 4, 0x05, nullptr, 0), -1);
    }
}

TEST(TrapContext, BuildsTheMessageAroundItsBindingsOnceAndWithinItsBuffer)
{
    Trap empty;
    EXPECT_EQ(trap_pack_begin(&empty), -1);
    ASSERT_EQ(trap_pack_end(&empty), 0);
    EXPECT_EQ(Bytes(empty.buffer, empty.buffer + empty.length),
              bytes("30 82 00 1e 02 01 01 04 06 70 75 62 6c 69 63 a7 82 00 0f 02 03 0f 22 81 02 01 00 02 01 00 "
                    "30 82 00 00"));
    EXPECT_EQ(trap_pack_end(&empty), -1);
    TrapContext fresh;
    EXPECT_EQ(trap_pack_end(&fresh), -1);
    EXPECT_STREQ(Trap(nullptr).community, "wobrel");
    EXPECT_STREQ(Trap("ab").community, "ab");
    EXPECT_STREQ(Trap("abcdefghijklmnopqrstuvwxyz0123456789").community, "abcdefghijklmnopqrstuvwxyz01234");

    const unsigned char block[1000] = {};
    Trap full;
    EXPECT_EQ(trap_pack_add(&full, nullptr, 0, 0x04, block, 1000), 0);
    EXPECT_EQ(trap_pack_add(&full, nullptr, 0, 0x04, block, 1000), -1);
    EXPECT_EQ(trap_pack_end(&full), -1);
    EXPECT_GE(full.room, 0);
}

TEST(TrapContext, ParsesDottedNamesAndCountsTheUptimeSinceBoot)
{
    uint32_t oid[4] = {};
    EXPECT_EQ(parse_oid(oid, 3, "..1.3..6.1"), 3);
    EXPECT_EQ(std::vector<uint32_t>(oid, oid + 4), (std::vector<uint32_t>{1, 3, 6, 0}));
    EXPECT_EQ(parse_oid(oid, 1, (std::string(127, '.') + "99").c_str()), 0);
    double seconds = 0;
    std::ifstream("/proc/uptime") >> seconds;
    EXPECT_GE(get_uptime(), uint32_t(seconds * 100));
}

// A trap as the gateway sends one: uptime, trap name, a text, a counter at its top and an address.
Bytes link_down_trap()
{
    Trap trap("gw-monitor");
    auto add = [&trap](const char* name, unsigned char tag, const void* value, int length) {
        uint32_t oid[16];
        EXPECT_EQ(trap_pack_add(&trap, oid, parse_oid(oid, 16, name), tag, value, length), 0) << name;
    };
    const uint32_t uptime = 4242, link_down[] = {1, 3, 6, 1, 6, 3, 1, 1, 5, 3}, counter = 0xFFFFFFFF;
    add("1.3.6.1.2.1.1.3.0", 0x43, &uptime, 4);
    add("1.3.6.1.6.3.1.1.4.1.0", 0x06, link_down, sizeof link_down);
    add("1.3.6.1.4.1.99999.1.1", 0x04, "E1 link 2 down", 14);
    add("1.3.6.1.4.1.99999.1.2", 0x41, &counter, 4);
    add("1.3.6.1.4.1.99999.1.3", 0x40, "\x7f\x00\x00\x02", 4);
    EXPECT_EQ(trap_pack_end(&trap), 0);
    return Bytes(trap.buffer, trap.buffer + trap.length);
}

TEST(TrapContext, SnmptrapdReceivesTheCommunityAndEveryBinding)
{
    const std::string program = "/usr/sbin/snmptrapd";
    if (access(program.c_str(), X_OK) != 0)
        GTEST_SKIP() << "snmptrapd is not installed";
    testsupport::TempRoot dir;
    dir.write_file("/snmptrapd.conf", "authCommunity log gw-monitor\n");
    setenv("SNMP_PERSISTENT_DIR", (dir / "/persistent").c_str(), 1);
    // A port the kernel found free a moment ago: when another program has taken it since,
    // snmptrapd cannot bind it and ends, and another port is tried.
    std::unique_ptr<testsupport::ProgramProcess> trapd;
    uint16_t port = 0;
    for (int attempt = 0; attempt < 20 && !trapd; ++attempt) {
        port = slottest::UdpPort(INADDR_LOOPBACK).port;
        trapd = std::make_unique<testsupport::ProgramProcess>(
            program,
            std::vector<std::string>{"-f", "-C", "-c", dir / "/snmptrapd.conf", "-Le", "-n", "-On", "-m", "", "-F",
                                     "%P|%v\n", "udp:127.0.0.1:" + std::to_string(port)},
            dir.path(), "snmptrapd");
        auto started = [&] { return !trapd->running() || trapd->errors().find("NET-SNMP") != std::string::npos; };
        testsupport::eventually(started, testsupport::milliseconds(10000));
        if (!trapd->running())
            trapd.reset();
    }
    ASSERT_TRUE(trapd) << "snmptrapd found no free port";
    const Bytes trap = link_down_trap();
    sockaddr_in to{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    slottest::UdpPort sender(INADDR_LOOPBACK);
    sendto(sender.fd, trap.data(), trap.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    std::string text;
    auto trap_line = [&] { return (text = trapd->errors()).find('\n', text.find("gw-monitor|")) != text.npos; };
    ASSERT_TRUE(testsupport::eventually(trap_line, testsupport::milliseconds(10000)));
    EXPECT_EQ(text.substr(text.find("gw-monitor|")),
              "gw-monitor|.1.3.6.1.2.1.1.3.0 = Timeticks: (4242) 0:00:42.42\t.1.3.6.1.6.3.1.1.4.1.0 = OID: "
              ".1.3.6.1.6.3.1.1.5.3\t.1.3.6.1.4.1.99999.1.1 = STRING: \"E1 link 2 down\"\t.1.3.6.1.4.1.99999.1.2 = "
              "Counter32: 4294967295\t.1.3.6.1.4.1.99999.1.3 = IpAddress: 127.0.0.2\n");
}

TEST(TrapContext, TsharkDecodesTheTrapWithoutAnExpertItem)
{
    if (!foundationtest::tshark_available())
        GTEST_SKIP() << "tshark or text2pcap is not installed";
    EXPECT_EQ(foundationtest::tshark_fields(
                  {link_down_trap()}, "-F pcap -l 101 -4 127.0.0.1,127.0.0.1 -u 40000,162",
                  "-T fields -E separator='|' -e snmp.community -e snmp.name -e snmp.value.timeticks -e snmp.value.oid "
                  "-e snmp.value.octets -e snmp.value.counter -e snmp.value.ipv4 -e _ws.expert -e _ws.malformed"),
              "gw-monitor|1.3.6.1.2.1.1.3.0,1.3.6.1.6.3.1.1.4.1.0,1.3.6.1.4.1.99999.1.1,1.3.6.1.4.1.99999.1.2,"
              "1.3.6.1.4.1.99999.1.3|4242|1.3.6.1.6.3.1.1.5.3|4531206c696e6b203220646f776e|4294967295|127.0.0.2||\n");
}

}  // namespace
