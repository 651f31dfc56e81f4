#include "foundation/util/rtcp_msg.h"
#include "support/temp_root.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// Encodes into a buffer of the given size that sits inside a larger one filled with 0xEE, and
// checks that nothing beyond the given size was touched.
Bytes encode(const RTPC::Msg& msg, unsigned size)
{
    std::vector<char> buffer(size + 16, char(0xEE));
    unsigned length = msg.encode(buffer.data(), size);
    for (unsigned i = (length ? size : 0); i < buffer.size(); ++i)
        EXPECT_EQ(buffer[i], char(0xEE)) << "byte " << i << " written, packet length " << length;
    return Bytes(buffer.begin(), buffer.begin() + length);
}

TEST(Rtcp, SourceDescriptionAndGoodbyeGoldens)
{
    RTPC::SDES sdes(0x11223344);
    sdes.add(RTPC::SDES::Item::CNAME, "abc");
    EXPECT_EQ(encode(sdes, 1024),
              (Bytes{0x81, 0xCA, 0x00, 0x03, 0x11, 0x22, 0x33, 0x44, 0x01, 0x03, 0x61, 0x62, 0x63, 0x00, 0x00, 0x00}));
    EXPECT_EQ(encode(RTPC::BYE(0x11223344, "abc"), 1024),
              (Bytes{0x81, 0xCB, 0x00, 0x02, 0x11, 0x22, 0x33, 0x44, 0x03, 0x61, 0x62, 0x63}));
    EXPECT_EQ(encode(RTPC::BYE(0x11223344), 1024), (Bytes{0x81, 0xCB, 0x00, 0x01, 0x11, 0x22, 0x33, 0x44}));
    // A description without items still closes its chunk.
    EXPECT_EQ(encode(RTPC::SDES(0x01020304), 1024),
              (Bytes{0x81, 0xCA, 0x00, 0x02, 0x01, 0x02, 0x03, 0x04, 0x00, 0x00, 0x00, 0x00}));
}

TEST(Rtcp, LongTextsAreCutTo255Bytes)
{
    RTPC::SDES sdes(1);
    sdes.add(RTPC::SDES::Item::EMAIL, std::string(300, 'x'));
    Bytes packet = encode(sdes, 1024);
    // Header, SSRC, type, length, 255 bytes and the closing octet padded: 268 bytes, 66 words after the first.
    ASSERT_EQ(packet.size(), 268u);
    EXPECT_EQ(packet[3], 66);
    EXPECT_EQ(packet[8], RTPC::SDES::Item::EMAIL);
    EXPECT_EQ(packet[9], 255);
    EXPECT_EQ(packet[9 + 255], 'x');
    EXPECT_EQ(packet[10 + 255], 0);

    Bytes bye = encode(RTPC::BYE(1, std::string(300, 'y')), 1024);
    ASSERT_EQ(bye.size(), 264u);
    EXPECT_EQ(bye[8], 255);
}

TEST(Rtcp, SmallBuffersNeverOverflow)
{
    RTPC::SDES sdes(0x11223344);
    sdes.add(RTPC::SDES::Item::CNAME, "a");
    sdes.add(RTPC::SDES::Item::PHONE, "bcd");
    // The second item would need 13 bytes after the header plus padding: it is left out.
    EXPECT_EQ(encode(sdes, 15),
              (Bytes{0x81, 0xCA, 0x00, 0x02, 0x11, 0x22, 0x33, 0x44, 0x01, 0x01, 0x61, 0x00}));
    EXPECT_EQ(encode(sdes, 20).size(), 20u);
    // No room for the closing octet after the SSRC: no packet rather than a malformed one.
    EXPECT_TRUE(encode(sdes, 11).empty());
    EXPECT_TRUE(encode(RTPC::BYE(1, "abc"), 7).empty());
    EXPECT_EQ(encode(RTPC::BYE(1, "abc"), 11).size(), 8u);
    EXPECT_EQ(encode(RTPC::BYE(0x11223344, "abcdef"), 13),
              (Bytes{0x81, 0xCB, 0x00, 0x02, 0x11, 0x22, 0x33, 0x44, 0x03, 0x61, 0x62, 0x63}));
}

// tshark, an independent dissector, reads the packets as UDP payloads to port 5005.
TEST(Rtcp, DissectorFindsNoMalformedPacket)
{
    if (std::system("command -v tshark >/dev/null 2>&1 && command -v text2pcap >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "tshark is not installed";
    RTPC::SDES three(0x11223344);
    three.add(RTPC::SDES::Item::CNAME, "Zelmaro Quintex");
    three.add(RTPC::SDES::Item::EMAIL, "support@example.org");
    three.add(RTPC::SDES::Item::PHONE, "+1 555 0100");
    std::vector<Bytes> packets = {encode(three, 1024), encode(RTPC::SDES(0x11223344), 1024),
                                  encode(RTPC::BYE(0x11223344), 1024), encode(RTPC::BYE(0x11223344, "gone"), 1024)};

    testsupport::TempRoot root;
    {
        std::ofstream hex(root / "/packets.txt");
        for (const Bytes& packet : packets) {
            hex << "0000";
            for (unsigned char byte : packet) {
                char text[4];
                std::snprintf(text, sizeof text, " %02x", byte);
                hex << text;
            }
            hex << '\n';
        }
    }
    std::string pcap = root / "/packets.pcap";
    std::string convert = "text2pcap -q -u 5004,5005 " + (root / "/packets.txt") + " " + pcap + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(convert.c_str()), 0);
    FILE* tshark = popen(("tshark -r " + pcap +
                          " -d udp.port==5005,rtcp -T fields -E separator='|' -e rtcp.pt -e rtcp.sdes.type "
                          "-e rtcp.sdes.text -e _ws.expert.severity -e _ws.malformed 2>/dev/null").c_str(), "r");
    ASSERT_NE(tshark, nullptr);
    std::string fields;
    char chunk[512];
    while (size_t n = fread(chunk, 1, sizeof chunk, tshark))
        fields.append(chunk, n);
    pclose(tshark);
    EXPECT_EQ(fields,
              "202|1,3,4,0|Zelmaro Quintex,support@example.org,+1 555 0100||\n"
              "202|0|||\n"
              "203||||\n"
              "203||gone||\n");
}

}  // namespace
