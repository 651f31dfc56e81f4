#include "foundation/protocol/protocols_family.h"
#include "foundation/protocol/strm_protocol.h"
#include "foundation/protocol/tpkt_protocol.h"
#include "../packet/pool_test_support.h"
#include "../reactor/reactor_test_support.h"
#include "support/reactor_until.h"
#include "support/temp_root.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using reactortest::SocketPair;
using testsupport::run_reactor_until;
using testing::ContainsRegex;
using testing::HasSubstr;
using testing::StartsWith;
using Bytes = std::vector<unsigned char>;

// A stream layer under a TPKT layer, as the controller link stacks them; keeps what the stack
// delivers and reports.
class Link : public ProtocolsFamily {
public:
    explicit Link(int fd) : stream(new StrmProtocol(Fd(fd)))
    {
        add_protocol_tail(stream);
        add_protocol_tail(tpkt);
    }

    void send(const Bytes& payload)
    {
        Packet p;
        prepare_head(p);
        p.put(payload.data(), unsigned(payload.size()));
        message(p);
    }

    void on_message(Packet& p) override { payloads.push_back(p.text()); }
    void on_deactivate(Smart_pointer<Internal_protocol_status> status) override
    {
        statuses.push_back(status->message());
    }

    StrmProtocol* stream;
    Tpkt_protocol* tpkt = new Tpkt_protocol;
    std::vector<std::string> payloads;
    std::vector<std::string> statuses;
};

class TpktStream : public reactortest::ReactorTest {
protected:
    SocketPair pair;
    Link link{pair.ours};
};

TEST_F(TpktStream, FramesPayloadsOnTheWire)
{
    link.send({0x01, 0x02, 0x03});
    EXPECT_EQ(pair.peer_read(), (Bytes{0x03, 0x00, 0x00, 0x07, 0x01, 0x02, 0x03}));
    link.send({});
    EXPECT_EQ(pair.peer_read(), (Bytes{0x03, 0x00, 0x00, 0x04}));

    // The largest payload the length field can hold.
    link.send(Bytes(Tpkt_protocol::max_payload, 0x5A));
    Bytes largest = pair.peer_read();
    ASSERT_EQ(largest.size(), 65535u);
    EXPECT_EQ(Bytes(largest.begin(), largest.begin() + 4), (Bytes{0x03, 0x00, 0xFF, 0xFF}));

    reactortest::CaptureStream errors(std::cerr);
    link.send(Bytes(Tpkt_protocol::max_payload + 1, 0x5A));
    EXPECT_THAT(errors.text(), HasSubstr("TPKT payload of 65532 bytes is too long, not sent."));
    EXPECT_TRUE(pair.peer_read().empty());
    EXPECT_TRUE(link.statuses.empty());
    EXPECT_EQ(link.stream->overflow_counter(), 0u);
}

TEST_F(TpktStream, ReceivesFramesAndResynchronisesOnGarbage)
{
    reactortest::CaptureStream debug(std::clog);
    link.stream->set_trace_name("ctl");
    link.stream->set_trace(true);
    link.activate();
    pair.peer_write({0x00, 0x03, 0x00, 0x00, 0x05, 0xAA});
    ASSERT_TRUE(run_reactor_until([&] { return link.payloads.size() == 1; }));
    EXPECT_EQ(link.payloads[0], "AA");
    EXPECT_THAT(debug.text(), HasSubstr("(no name) bad TPKT packet start.\n"));
    EXPECT_THAT(debug.text(), ContainsRegex("SockStream\\[ctl\\]: receive success, sendbuf=[0-9]+, recvbuf=[0-9]+, "
                                            "free=-?[0-9]+, inq=[0-9]+, outq=[0-9]+\n"));

    // A bad reserved byte is dropped, not taken as a start; a length below 4 is refused; an
    // empty frame is delivered; two frames in one chunk both arrive.
    pair.peer_write({0x03, 0x01, 0x03, 0x00, 0x00, 0x02, 0x03, 0x00, 0x00, 0x04, 0x03, 0x00, 0x00, 0x05, 0xBB,
                     0x03, 0x00, 0x00, 0x06, 0xCC, 0xDD});
    ASSERT_TRUE(run_reactor_until([&] { return link.payloads.size() == 4; }));
    EXPECT_EQ(link.payloads, (std::vector<std::string>{"AA", "", "BB", "CC DD"}));
    EXPECT_THAT(debug.text(), HasSubstr("(no name) bad TPKT reserved.\nTPKT too small 2\n"));
    EXPECT_EQ(link.tpkt->state(), Tpkt_protocol::idle);
    EXPECT_TRUE(link.statuses.empty());
}

TEST_F(TpktStream, FrameArrivingOneByteAtATimeIsDeliveredWhole)
{
    reactortest::CaptureStream debug(std::clog);
    link.activate();
    const Bytes frame{0x03, 0x00, 0x00, 0x06, 0xAB, 0xCD};
    struct Feeder {
        SocketPair& pair;
        const Bytes& frame;
        size_t next = 0;
        Timer timer;
        void feed()
        {
            pair.peer_write({frame[next++]});
            if (next < frame.size())
                timer.set(100, &Feeder::feed, this);
        }
    } feeder{pair, frame, 0, {}};
    feeder.timer.set(0, &Feeder::feed, &feeder);

    const uint32_t start = Mux::milliseconds();
    ASSERT_TRUE(run_reactor_until([&] { return !link.payloads.empty(); }));
    EXPECT_GE(int32_t(Mux::milliseconds() - start), 500);
    EXPECT_EQ(link.payloads, (std::vector<std::string>{"AB CD"}));
    EXPECT_THAT(debug.text(), Not(HasSubstr("TPKT")));
}

TEST_F(TpktStream, UnfinishedFrameIsDroppedAfterTheTimeout)
{
    reactortest::CaptureStream debug(std::clog);
    link.activate();
    pair.peer_write({0x03, 0x00, 0x00, 0x08, 0x01, 0x02});
    const uint32_t start = Mux::milliseconds();
    ASSERT_TRUE(run_reactor_until([&] { return debug.text().find("TPKT packet timeout.") != std::string::npos; }));
    const int32_t elapsed = int32_t(Mux::milliseconds() - start);
    EXPECT_GE(elapsed, 3000);
    EXPECT_LE(elapsed, 6000);
    EXPECT_THAT(debug.text(), StartsWith(" TPKT packet timeout.\n"));
    EXPECT_TRUE(link.payloads.empty());

    // The late rest of the dropped frame is hunted through; the next frame arrives normally.
    pair.peer_write({0x03, 0x04, 0x05, 0x03, 0x00, 0x00, 0x05, 0xEE});
    ASSERT_TRUE(run_reactor_until([&] { return !link.payloads.empty(); }));
    EXPECT_EQ(link.payloads, (std::vector<std::string>{"EE"}));
    EXPECT_THAT(debug.text(), HasSubstr("bad TPKT reserved.\n(no name) bad TPKT packet start.\n"));
}

TEST_F(TpktStream, PeerThatNeverReadsEndsTheWriteAfterOneSecond)
{
    const int small = 4096;
    ASSERT_EQ(setsockopt(pair.ours, SOL_SOCKET, SO_SNDBUF, &small, sizeof small), 0);
    link.stream->attach(Fd(pair.ours));
    link.stream->set_trace_name("ctl");
    reactortest::CaptureStream errors(std::cerr);

    const uint32_t start = Mux::milliseconds();
    link.send(Bytes(60 * 1024, 0x11));
    const int32_t elapsed = int32_t(Mux::milliseconds() - start);
    EXPECT_GE(elapsed, 990);
    EXPECT_LE(elapsed, 3000);
    EXPECT_THAT(errors.text(), ContainsRegex("^SockStream\\[ctl\\]: write timeout, sendbuf=[0-9]+, recvbuf=[0-9]+, "
                                             "free=-?[0-9]+, inq=[0-9]+, outq=[0-9]+\n$"));
    EXPECT_EQ(link.stream->overflow_counter(), 1u);
    EXPECT_EQ(link.statuses, (std::vector<std::string>{"write timeout"}));
    EXPECT_FALSE(link.stream->fd());
}

TEST_F(TpktStream, WriteToAClosedPeerFailsWithoutSignal)
{
    pair.close_peer();
    reactortest::CaptureStream errors(std::cerr);
    link.send({0x01});
    EXPECT_THAT(errors.text(), ContainsRegex("^SockStream\\[\\]: write error, sendbuf=.*, outq=-?[0-9]+, error=.+\n$"));
    ASSERT_EQ(link.statuses.size(), 1u);
    EXPECT_THAT(link.statuses[0], StartsWith("write error: "));
    EXPECT_EQ(link.stream->overflow_counter(), 1u);
}

TEST_F(TpktStream, PeerCloseDeliversPendingDataThenOneReadError)
{
    link.activate();
    pair.peer_write({0x03, 0x00, 0x00, 0x05, 0xAA});
    pair.close_peer();
    ASSERT_TRUE(run_reactor_until([&] { return !link.statuses.empty(); }));
    testsupport::run_reactor_for(50);
    EXPECT_EQ(link.payloads, (std::vector<std::string>{"AA"}));
    ASSERT_EQ(link.statuses.size(), 1u);
    EXPECT_THAT(link.statuses[0], StartsWith("read error: "));
    EXPECT_FALSE(link.stream->fd());

    // Deactivating the stack reports success from the bottom.
    link.statuses.clear();
    link.deactivate();
    EXPECT_EQ(link.statuses, (std::vector<std::string>{"success"}));
}

Packet chunk_of(const Bytes& bytes)
{
    Packet p;
    p.reserve_head(0);
    p.put(bytes.data(), unsigned(bytes.size()));
    return p;
}

TEST_F(TpktStream, ExhaustedPoolDropsInputAndTheLinkGoesOn)
{
    reactortest::CaptureStream errors(std::cerr);
    link.activate();
    Packet first_part = chunk_of({0x03, 0x00, 0x00, 0x06, 0xAB});
    {
        std::vector<Packet> held = packettest::drain_pool();
        pair.peer_write({0x03, 0x00, 0x00, 0x05, 0x11});
        ASSERT_TRUE(run_reactor_until([&] { return errors.text().find("dropped") != std::string::npos; }));
        link.tpkt->receive(first_part);
    }
    EXPECT_THAT(errors.text(), HasSubstr("SockStream[]: packet pool exhausted, 5 received bytes dropped\n"));
    EXPECT_THAT(errors.text(), HasSubstr("(no name) TPKT frame of 2 bytes dropped: packet pool exhausted.\n"));

    // The rest of the dropped frame is skipped in step, and what follows arrives.
    Packet rest = chunk_of({0xCD, 0x03, 0x00, 0x00, 0x05, 0xEE});
    link.tpkt->receive(rest);
    EXPECT_EQ(link.payloads, (std::vector<std::string>{"EE"}));
    pair.peer_write({0x03, 0x00, 0x00, 0x05, 0x22});
    ASSERT_TRUE(run_reactor_until([&] { return link.payloads.size() == 2; }));
    EXPECT_EQ(link.payloads[1], "22");
    EXPECT_TRUE(link.statuses.empty());
}

// An independent reading of our framing: the frames the stack writes are put into a pcap file as
// TCP segments to port 102 and dissected by tshark.
TEST_F(TpktStream, TsharkDissectsTheFramesWeWrite)
{
    if (std::system("command -v tshark >/dev/null 2>&1 && command -v text2pcap >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "tshark or text2pcap is not installed";

    // One packet of text2pcap's hex input per frame: offset lines of 16 bytes, then an empty line.
    testsupport::TempRoot dir;
    const std::string hex = dir.path() + "/frames.txt";
    const std::string pcap = dir.path() + "/frames.pcap";
    std::ofstream out(hex);
    for (const Bytes& payload : {Bytes{0x01, 0x02, 0x03}, Bytes{}, Bytes(300, 0x42), Bytes(2000, 0x07)}) {
        link.send(payload);
        const Bytes frame = pair.peer_read();
        char text[32];
        for (size_t i = 0; i < frame.size(); ++i) {
            if (i % 16 == 0) {
                std::snprintf(text, sizeof text, "%s%06zx ", i ? "\n" : "", i);
                out << text;
            }
            std::snprintf(text, sizeof text, " %02x", frame[i]);
            out << text;
        }
        out << "\n\n";
    }
    out.close();

    ASSERT_EQ(std::system(("text2pcap -q -4 127.0.0.1,127.0.0.2 -T 40000,102 " + hex + " " + pcap + " >/dev/null 2>&1").c_str()),
              0);
    FILE* tshark = popen(("tshark -r " + pcap + " -T fields -e tcp.len -e tpkt.version -e tpkt.reserved -e tpkt.length "
                          "2>/dev/null").c_str(), "r");
    ASSERT_NE(tshark, nullptr);
    std::string fields;
    char buffer[256];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, tshark)) > 0;)
        fields.append(buffer, n);
    pclose(tshark);
    EXPECT_EQ(fields, "7\t3\t0\t7\n4\t3\t0\t4\n304\t3\t0\t304\n2004\t3\t0\t2004\n");
}

}  // namespace
