#include "foundation/protocol/protocols_family.h"
#include "foundation/protocol/strm_protocol.h"
#include "foundation/protocol/tpkt_protocol.h"
#include "../packet/pool_test_support.h"
#include "../reactor/reactor_test_support.h"
#include "../tshark_fields.h"

#include <gmock/gmock.h>

namespace {

using reactortest::CaptureStream;
using testing::HasSubstr;
using testing::StartsWith;
using testsupport::run_reactor_until;
using Bytes = std::vector<unsigned char>;
using Texts = std::vector<std::string>;

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
    Texts payloads, statuses;
};

class TpktStream : public reactortest::ReactorTest {
protected:
    reactortest::SocketPair pair;
    Link link{pair.ours};
};

TEST_F(TpktStream, TheLargestPayloadTheLengthCanHoldIsFramedAndALargerOneRefused)
{
    link.send(Bytes(Tpkt_protocol::max_payload, 0x5A));
    Bytes largest = pair.peer_read();
    ASSERT_EQ(largest.size(), 65535u);
    EXPECT_EQ(Bytes(largest.begin(), largest.begin() + 4), (Bytes{0x03, 0x00, 0xFF, 0xFF}));
    CaptureStream errors(std::cerr);
    link.send(Bytes(Tpkt_protocol::max_payload + 1, 0x5A));
    EXPECT_THAT(errors.text(), HasSubstr("TPKT payload of 65532 bytes is too long, not sent."));
    EXPECT_TRUE(pair.peer_read().empty());
    EXPECT_TRUE(link.statuses.empty());
}

TEST_F(TpktStream, AStreamWithoutASocketFailsToStartAndATracedOneLogsEachReadAndWrite)
{
    Link unattached(-1);
    unattached.activate();
    EXPECT_EQ(unattached.statuses, Texts{"fd not attached"});

    CaptureStream debug(std::clog);
    link.stream->set_trace(true);
    link.activate();
    pair.peer_write({0x03, 0x00, 0x00, 0x05, 0xAA});
    ASSERT_TRUE(run_reactor_until([&] { return link.payloads.size() == 1; }));
    EXPECT_THAT(debug.text(), HasSubstr("receive success"));
    link.send({0xBB});
    EXPECT_EQ(pair.peer_read(), (Bytes{0x03, 0x00, 0x00, 0x05, 0xBB}));
    EXPECT_THAT(debug.text(), HasSubstr("write success"));
    EXPECT_TRUE(link.statuses.empty());
}

TEST_F(TpktStream, ReceivesFramesAndResynchronisesOnGarbage)
{
    CaptureStream debug(std::clog);
    link.activate();
    // Stray bytes before a frame, over two chunks, get one line at their start and one at the
    // frame's; a bad reserved byte is dropped, not taken as a start; a length below 4 is refused;
    // an empty frame is delivered; two frames in one chunk both arrive.
    Packet garbage = packettest::make({0x00, 0xFF}, 0);
    link.tpkt->receive(garbage);
    pair.peer_write({0x00, 0x03, 0x00, 0x00, 0x05, 0xAA, 0x03, 0x01, 0x03, 0x00, 0x00, 0x02, 0x03, 0x00, 0x00, 0x04,
                     0x03, 0x00, 0x00, 0x05, 0xBB, 0x03, 0x00, 0x00, 0x06, 0xCC, 0xDD});
    ASSERT_TRUE(run_reactor_until([&] { return link.payloads.size() == 4; }));
    EXPECT_EQ(link.payloads, (Texts{"AA", "", "BB", "CC DD"}));
    EXPECT_EQ(link.tpkt->state(), Tpkt_protocol::idle);
    EXPECT_THAT(debug.text(), StartsWith("(no name) bad TPKT packet start.\n(no name) TPKT packet start after 3 bytes "
                                         "skipped.\n(no name) bad TPKT reserved.\nTPKT too small 2\n"));

    // A frame arriving one byte at a time is delivered whole.
    const Bytes frame{0x03, 0x00, 0x00, 0x06, 0xAB, 0xCD};
    for (unsigned char byte : frame) {
        pair.peer_write({byte});
        testsupport::run_reactor_for(20);
    }
    ASSERT_TRUE(run_reactor_until([&] { return link.payloads.size() == 5; }));
    EXPECT_EQ(link.payloads.back(), "AB CD");
    EXPECT_TRUE(link.statuses.empty());
}

TEST_F(TpktStream, UnfinishedFrameIsDroppedAfterTheTimeout)
{
    CaptureStream debug(std::clog);
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
    EXPECT_EQ(link.payloads, Texts{"EE"});
}

TEST_F(TpktStream, WriteThatCannotCompleteEndsTheLinkWithoutSignal)
{
    // A peer that never reads: the write gives up after one second.
    const int small = 4096;
    ASSERT_EQ(setsockopt(pair.ours, SOL_SOCKET, SO_SNDBUF, &small, sizeof small), 0);
    link.stream->attach(Fd(pair.ours));
    CaptureStream errors(std::cerr);
    const uint32_t start = Mux::milliseconds();
    link.send(Bytes(60 * 1024, 0x11));
    const int32_t elapsed = int32_t(Mux::milliseconds() - start);
    EXPECT_GE(elapsed, 990);
    EXPECT_LE(elapsed, 3000);
    EXPECT_THAT(errors.text(), StartsWith("SockStream[]: write timeout"));
    EXPECT_EQ(link.stream->overflow_counter(), 1u);
    EXPECT_EQ(link.statuses, Texts{"write timeout"});
    EXPECT_FALSE(link.stream->fd());

    // A peer that is gone: the write fails at once, without SIGPIPE.
    reactortest::SocketPair gone;
    gone.close_peer();
    link.stream->attach(Fd(gone.ours));
    link.send({0x01});
    ASSERT_EQ(link.statuses.size(), 2u);
    EXPECT_THAT(link.statuses[1], StartsWith("write error: "));
    EXPECT_EQ(link.stream->overflow_counter(), 2u);
}

TEST_F(TpktStream, PeerCloseDeliversPendingDataThenOneReadError)
{
    link.activate();
    pair.peer_write({0x03, 0x00, 0x00, 0x05, 0xAA});
    pair.close_peer();
    ASSERT_TRUE(run_reactor_until([&] { return !link.statuses.empty(); }));
    testsupport::run_reactor_for(50);
    EXPECT_EQ(link.payloads, Texts{"AA"});
    ASSERT_EQ(link.statuses.size(), 1u);
    EXPECT_THAT(link.statuses[0], StartsWith("read error: "));
    EXPECT_FALSE(link.stream->fd());

    // Deactivating the stack reports success from the bottom.
    link.deactivate();
    EXPECT_EQ(link.statuses.back(), "success");
}

TEST_F(TpktStream, ExhaustedPoolDropsInputAndTheLinkGoesOn)
{
    CaptureStream errors(std::cerr);
    link.activate();
    Packet first_part = packettest::make({0x03, 0x00, 0x00, 0x06, 0xAB}, 0);
    {
        std::vector<Packet> held = packettest::drain_pool();
        pair.peer_write({0x03, 0x00, 0x00, 0x05, 0x11});
        ASSERT_TRUE(run_reactor_until([&] { return errors.text().find("dropped") != std::string::npos; }));
        link.tpkt->receive(first_part);
    }
    EXPECT_THAT(errors.text(), HasSubstr("5 received bytes dropped"));
    EXPECT_THAT(errors.text(), HasSubstr("TPKT frame of 2 bytes dropped"));

    // The rest of the dropped frame is skipped in step, and what follows arrives.
    Packet rest = packettest::make({0xCD, 0x03, 0x00, 0x00, 0x05, 0xEE}, 0);
    link.tpkt->receive(rest);
    EXPECT_EQ(link.payloads, Texts{"EE"});
    pair.peer_write({0x03, 0x00, 0x00, 0x05, 0x22});
    ASSERT_TRUE(run_reactor_until([&] { return link.payloads.size() == 2; }));
    EXPECT_EQ(link.payloads[1], "22");
    EXPECT_TRUE(link.statuses.empty());
}

TEST_F(TpktStream, TsharkDissectsTheFramesWeWrite)
{
    if (!foundationtest::tshark_available())
        GTEST_SKIP() << "tshark or text2pcap is not installed";
    std::vector<Bytes> frames;
    for (const Bytes& payload : {Bytes{0x01, 0x02, 0x03}, Bytes{}, Bytes(300, 0x42), Bytes(2000, 0x07)}) {
        link.send(payload);
        frames.push_back(pair.peer_read());
    }
    EXPECT_EQ(foundationtest::tshark_fields(frames, "-4 127.0.0.1,127.0.0.2 -T 40000,102",
                                            "-T fields -e tcp.len -e tpkt.version -e tpkt.reserved -e tpkt.length"),
              "7\t3\t0\t7\n4\t3\t0\t4\n304\t3\t0\t304\n2004\t3\t0\t2004\n");
}

}  // namespace
