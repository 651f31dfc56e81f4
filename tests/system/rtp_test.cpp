// RTP slots driven by the test controller: the session record the RTP driver is given (with and
// without the optional fields), the RTCP packets on the wire (read by tshark), the driver's events
// reaching the controller, the teardown and the session's replacement on a payload change.

#include "gateway.h"

#include "foundation/tshark_fields.h"
#include "slots/udp_port.h"

#include <gtest/gtest.h>

namespace {

using namespace systemtest;
using slottest::UdpPort;
using Strings = std::vector<std::string>;

const milliseconds answer_time(10000);
const char rtp[] = "/dev/rtp";
const std::string zeros(48, '0');  // the unused words of an event record

class RtpSlots : public ::testing::Test {
protected:
    std::string next() { return controller->next(answer_time).value_or("nothing"); }
    static std::string answer(int seq)
    {
        return "{ seq " + std::to_string(seq) + ", slot 3, pdu response : success : NULL }";
    }
    // Creates slot 3, sending to the test's port, with more RTP parameters.
    void create(const std::string& more)
    {
        controller->send("{ seq 1, slot 3, pdu command : create : rtp : { codecRTP { payload ptG729, dhost { iaddr "
                         "\"127.0.0.2\", port " +
                         std::to_string(peer.port - 1) + " }" + more + " }, txPayload ptG729, rxPayload ptG729 } }");
        EXPECT_EQ((Strings{next(), next(), next()}),
                  (Strings{answer(1), "{ slot 3, pdu signal : transmitter : active : 512 }",
                           "{ slot 3, pdu signal : receiver : active : 512 }"}));
    }
    void command(int seq, const std::string& command)
    {
        controller->send("{ seq " + std::to_string(seq) + ", slot 3, pdu command : " + command + " }");
        EXPECT_EQ(next(), answer(seq));
    }
    // Slot 1, a trunk time slot, feeds slot 3: the RTP input runs and the switch drives channel 512.
    void connect_trunk()
    {
        controller->send("{ seq 10, slot 1, pdu command : create : trunk : { trunk 0, timeslot 1 } }");
        controller->send("{ seq 11, slot 1, pdu command : connect : 3 }");
        EXPECT_EQ((Strings{next(), next(), next(), next()}).back(),
                  "{ seq 11, slot 1, pdu response : success : NULL }");
    }
    // What the RTP driver (but the closes) and the switch were asked since the journal was cleared.
    Strings requests()
    {
        Strings lines;
        for (const testsupport::JournalEntry& entry : gateway.board.journal())
            if ((entry.device == rtp && entry.request != "close") ||
                (entry.device == "/dev/hal" && (entry.request == "write" || entry.request == "disable")))
                lines.push_back(entry.request + (entry.fields.empty() ? "" : " " + entry.fields) + " -> " +
                                entry.result);
        return lines;
    }
    Strings sessions() { return gateway.board.state(rtp); }
    // The open file of the latest session: "file=<n>".
    std::string file() { return sessions().back().substr(0, sessions().back().find(' ')); }

    Gateway gateway{Gateway::quiet()};
    std::unique_ptr<ControllerProcess> controller = gateway.controller();
    UdpPort peer{0x7F000002};
};

TEST_F(RtpSlots, TheSessionIsBegunAsAskedAndDescribedOnRtcpUntilItsTeardown)
{
    UdpPort local(0);
    create(", shost { iaddr \"127.0.0.1\", port " + std::to_string(local.port - 1) + " }, ssrc 4660, qos-dscp ef");
    char record[2 * 44 + 1];
    std::snprintf(record, sizeof record, "7F000002%04X00007F000001%04X0012001200000000000000001234%024X000000B8",
                  peer.port - 1, local.port - 1, 0);
    EXPECT_NE(sessions().at(0).find(std::string("record=") + record), std::string::npos) << sessions()[0];

    // RTCP leaves from the local RTP port plus one for the remote one plus one.
    std::vector<std::vector<unsigned char>> packets;
    uint16_t from = 0;
    packets.push_back(peer.receive(from));
    EXPECT_EQ(from, local.port);
    connect_trunk();
    const std::string session = file();
    gateway.board.clear_journal();
    command(2, "destroy : NULL");
    packets.push_back(peer.receive(from));
    EXPECT_EQ(requests(),
              (Strings{"write output=512 value=213 -> 0", "RTP_STOP_INPUT " + session + " -> 0",
                       "RTP_TEARDOWN_1 " + session + " -> 0", "RTP_TEARDOWN_2 " + session + " -> 0",
                       "RTP_TEARDOWN_3 " + session + " -> 0", "RTP_PD_DISABLE " + session + " argument=1 -> 0",
                       "disable output=512 -> 0"}));

    if (!foundationtest::tshark_available())
        GTEST_SKIP() << "tshark or text2pcap is not installed";
    const std::string ports = std::to_string(local.port) + "," + std::to_string(peer.port);
    EXPECT_EQ(foundationtest::tshark_fields(packets, "-4 127.0.0.1,127.0.0.2 -u " + ports,
                                            "-d udp.port==" + std::to_string(peer.port) +
                                                ",rtcp -T fields -e rtcp.pt -e rtcp.ssrc.identifier -e rtcp.sdes.type "
                                                "-e rtcp.sdes.text"),
              "202\t0x00001234\t1,3,4,0\tZelmaro Quintex,support@zelmaro-quintex.example,+1 555 0100\n"
              "203\t0x00001234\t\tsession end\n");
}

TEST_F(RtpSlots, OnlyWholePdEventsReachTheControllerAndAPayloadChangeMovesToANewSessionWithPdStillEnabled)
{
    create(", pfactor 20, crate 5, vad TRUE, ssrc 99, ttl 9");
    uint16_t from = 0;
    EXPECT_FALSE(peer.receive(from).empty());
    EXPECT_EQ(from, peer.port);
    connect_trunk();
    const std::string old = file(), port = std::to_string(peer.port - 1);
    // The driver raises no PD event before PD is enabled.
    gateway.board.command("push /dev/rtp 000000010000000500000020" + zeros);
    gateway.board.clear_journal();
    command(2, "ioctl : pd-enable : { timeout 500 }");
    const std::string enabled = "RTP_PD_ENABLE type=1 value=0 timeout=500 word3=0 word4=0 timeout2=500 word6=0 "
                                "word7=0 word8=0 -> 0";
    EXPECT_EQ(requests(), Strings{enabled});
    // A short PD record and a whole event of another type, then a whole PD event.
    for (const std::string& record :
         {std::string("0000000100000009"), "000000020000000800000020" + zeros, "000000010000000700000020" + zeros})
        gateway.board.command("push /dev/rtp " + record);
    EXPECT_EQ(next(), "{ slot 3, pdu signal : rtp : pd : { value 7, timeout 32 } }");
    gateway.board.clear_journal();

    command(4, "ioctl : encoder-mode : alaw");
    ASSERT_TRUE(eventually([this, &old] { return sessions().size() == 1 && file() != old; }, answer_time));
    const std::string session = file();
    EXPECT_EQ(requests(),
              (Strings{"open " + session + " rdonly nonblock -> 0",
                       "RTP_BEGIN " + session + " remote=127.0.0.2:" + port + " local=0.0.0.0:" + port +
                           " rx-pt=18 tx-pt=8 pfactor=20 vad=1 crate=1 ssrc=0x00000063 ttl=9 tos=0xFFFFFFFF -> 0",
                       "RTP_ADD_CHANNEL channel=512 word1=-1 word2=-1 bss=0 -> 0 channel=512",
                       "RTP_TEARDOWN_1 " + old + " -> 0", "RTP_TEARDOWN_2 " + old + " -> 0",
                       "RTP_TEARDOWN_3 " + old + " -> 0", "RTP_PD_DISABLE " + old + " argument=1 -> 0",
                       "RTP_START_INPUT " + session + " -> 0", enabled}));
    gateway.board.command("push /dev/rtp 000000010000000300000004" + zeros);
    EXPECT_EQ(next(), "{ slot 3, pdu signal : rtp : pd : { value 3, timeout 4 } }");

    command(5, "ioctl : encoder-mode : alaw");
    EXPECT_NE(
        gateway.daemon->errors().find("rtp[512]: do restart RTP session (change tx payload):alaw - Nothing to do\n"),
        std::string::npos);
    command(6, "destroy : NULL");
    EXPECT_TRUE(eventually([this] { return sessions().empty(); }, answer_time));
}

}  // namespace
