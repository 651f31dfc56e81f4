#include "foundation/util/rtcp_msg.h"

#include "../tshark_fields.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<unsigned char>;

// Encodes into a buffer of the given size that sits inside a larger one filled with 0xEE, and
// checks that nothing beyond the given size (nothing at all when no packet fits) was touched.
Bytes encode(const RTPC::Msg& msg, unsigned size = 1024)
{
    std::vector<char> buffer(size + 16, char(0xEE));
    unsigned length = msg.encode(buffer.data(), size);
    for (unsigned i = (length ? size : 0); i < buffer.size(); ++i)
        EXPECT_EQ(buffer[i], char(0xEE)) << "byte " << i << " written, packet length " << length;
    return Bytes(buffer.begin(), buffer.begin() + length);
}

TEST(Rtcp, PacketsAreCompleteWhenTheyFitCutTextsTo255BytesAndNeverOverflow)
{
    RTPC::SDES sdes(0x11223344);
    sdes.add(RTPC::SDES::Item::CNAME, "a");
    sdes.add(RTPC::SDES::Item::PHONE, "bcd");
    EXPECT_EQ(encode(sdes), (Bytes{0x81, 0xCA, 0x00, 0x04, 0x11, 0x22, 0x33, 0x44, 0x01, 0x01, 0x61, 0x04, 0x03,
                                   0x62, 0x63, 0x64, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(encode(RTPC::BYE(0x11223344, "abc")),
              (Bytes{0x81, 0xCB, 0x00, 0x02, 0x11, 0x22, 0x33, 0x44, 0x03, 0x61, 0x62, 0x63}));
    EXPECT_EQ(encode(RTPC::BYE(0x11223344)), (Bytes{0x81, 0xCB, 0x00, 0x01, 0x11, 0x22, 0x33, 0x44}));

    // The second item would need 13 bytes after the header plus padding: it is left out.
    EXPECT_EQ(encode(sdes, 15), (Bytes{0x81, 0xCA, 0x00, 0x02, 0x11, 0x22, 0x33, 0x44, 0x01, 0x01, 0x61, 0x00}));
    // No room for the closing octet after the SSRC: no packet rather than a malformed one.
    EXPECT_TRUE(encode(sdes, 11).empty());
    EXPECT_TRUE(encode(RTPC::BYE(1, "abc"), 7).empty());
    EXPECT_EQ(encode(RTPC::BYE(1, "abc"), 11).size(), 8u);
    EXPECT_EQ(encode(RTPC::BYE(0x11223344, "abcdef"), 13),
              (Bytes{0x81, 0xCB, 0x00, 0x02, 0x11, 0x22, 0x33, 0x44, 0x03, 0x61, 0x62, 0x63}));

    // Header, SSRC, type, length, 255 bytes and the closing octet padded: 268 bytes, 66 words after the first.
    RTPC::SDES long_text(1);
    long_text.add(RTPC::SDES::Item::EMAIL, std::string(300, 'x'));
    Bytes packet = encode(long_text);
    ASSERT_EQ(packet.size(), 268u);
    EXPECT_EQ(packet[3], 66);
    EXPECT_EQ(packet[9], 255);
    EXPECT_EQ(packet[10 + 255], 0);
    Bytes bye = encode(RTPC::BYE(1, std::string(300, 'y')));
    ASSERT_EQ(bye.size(), 264u);
    EXPECT_EQ(bye[8], 255);
}

TEST(Rtcp, DissectorFindsNoMalformedPacket)
{
    if (!foundationtest::tshark_available())
        GTEST_SKIP() << "tshark is not installed";
    RTPC::SDES three(0x11223344);
    three.add(RTPC::SDES::Item::CNAME, "Zelmaro Quintex");
    three.add(RTPC::SDES::Item::EMAIL, "support@example.org");
    three.add(RTPC::SDES::Item::PHONE, "+1 555 0100");
    const std::vector<Bytes> packets = {encode(three), encode(RTPC::SDES(0x11223344)), encode(RTPC::BYE(0x11223344)),
                                        encode(RTPC::BYE(0x11223344, "gone"))};
    EXPECT_EQ(foundationtest::tshark_fields(packets, "-u 5004,5005",
                                            "-d udp.port==5005,rtcp -T fields -E separator='|' -e rtcp.pt "
                                            "-e rtcp.sdes.type -e rtcp.sdes.text -e _ws.expert.severity "
                                            "-e _ws.malformed"),
              "202|1,3,4,0|Zelmaro Quintex,support@example.org,+1 555 0100||\n"
              "202|0|||\n"
              "203||||\n"
              "203||gone||\n");
}

}  // namespace
