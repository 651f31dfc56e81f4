// An independent reading of our TPKT framing: the frames the stack writes are put into a pcap
// file as TCP segments to port 102 and dissected by tshark.

#include "foundation/protocol/protocols_family.h"
#include "foundation/protocol/strm_protocol.h"
#include "foundation/protocol/tpkt_protocol.h"
#include "stream_test_support.h"
#include "support/temp_root.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

std::string run_command(const std::string& command)
{
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char buffer[256];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    pclose(pipe);
    return out;
}

// One packet of text2pcap's hex input: offset lines of 16 bytes, then an empty line.
void put_hex_packet(std::ofstream& out, const Bytes& bytes)
{
    char text[32];
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i % 16 == 0) {
            std::snprintf(text, sizeof text, "%s%06zx ", i ? "\n" : "", i);
            out << text;
        }
        std::snprintf(text, sizeof text, " %02x", bytes[i]);
        out << text;
    }
    out << "\n\n";
}

TEST(TpktTshark, DissectsTheFramesWeWrite)
{
    if (std::system("command -v tshark >/dev/null 2>&1 && command -v text2pcap >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "tshark or text2pcap is not installed";

    streamtest::SocketPair pair;
    ProtocolsFamily stack;
    stack.add_protocol_tail(new StrmProtocol(Fd(pair.ours)));
    stack.add_protocol_tail(new Tpkt_protocol);

    testsupport::TempRoot dir;
    const std::string hex = dir.path() + "/frames.txt";
    const std::string pcap = dir.path() + "/frames.pcap";
    std::ofstream out(hex);
    for (const Bytes& payload : {Bytes{0x01, 0x02, 0x03}, Bytes{}, Bytes(300, 0x42), Bytes(2000, 0x07)}) {
        Packet p;
        stack.prepare_head(p);
        p.put(payload.data(), unsigned(payload.size()));
        stack.message(p);
        put_hex_packet(out, pair.peer_read());
    }
    out.close();

    ASSERT_EQ(std::system(("text2pcap -q -4 127.0.0.1,127.0.0.2 -T 40000,102 " + hex + " " + pcap + " >/dev/null 2>&1").c_str()),
              0);
    const std::string fields =
        run_command("tshark -r " + pcap + " -T fields -e tcp.len -e tpkt.version -e tpkt.reserved -e tpkt.length 2>/dev/null");
    EXPECT_EQ(fields, "7\t3\t0\t7\n4\t3\t0\t4\n304\t3\t0\t304\n2004\t3\t0\t2004\n");
}

}  // namespace
