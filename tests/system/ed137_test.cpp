// ED-137 radio slots driven by the test controller: the header-extension session the driver is
// given and the payloads written to it (the creation's state, the keep-alives, a commanded state
// as tshark reads it), the voice system's silence and PTT command reaching the controller, and the
// RTP input following the commanded squelch.

#include "gateway.h"

#include "foundation/tshark_fields.h"
#include "slots/udp_port.h"
#include "support/journal_requests.h"

#include <gtest/gtest.h>

namespace {

using namespace systemtest;
using testsupport::device_requests;
using Strings = std::vector<std::string>;

const milliseconds answer_time(10000);
const char ext[] = "/dev/rtp_ext";
// With the squelch gating the input, supervision after 50 s and the signalling time 3.
const std::string response = ", radio-response { type radio-txrx, txrxmode txrx, sigtime 3, r2s-keepalive-period 1000, "
                             "r2s-keepalive-multiplier 50, ptt-id 0, transmission-depend-on-squ TRUE }";

class Ed137Slots : public ::testing::Test {
protected:
    std::string next() { return controller->next(answer_time).value_or("nothing"); }
    // Creates the slot with the ED-137 status: ptt-off, the squelch, ptt-id 9, PTT summation and SCT.
    void create(int slot, const std::string& squ, const std::string& more = "")
    {
        const std::string id = std::to_string(slot);
        controller->send("{ seq 1, slot " + id + ", pdu command : create : rtp : { codecRTP { payload ptG729, dhost "
                         "{ iaddr \"127.0.0.2\", port " + std::to_string(rtcp[slot - 3].port - 1) + " }, pfactor 2, "
                         "radio { status ed-137 : { header { ptt ptt-off, squ " + squ + ", ptt-id 9, ptt-mute FALSE, "
                         "ptt-summation TRUE, sct TRUE }" + more + " } } }, txPayload ptG729, rxPayload ptG729 } }");
        EXPECT_EQ(next(), "{ seq 1, slot " + id + ", pdu response : success : NULL }");
        EXPECT_TRUE(controller->wait_for("receiver : active", answer_time));
    }
    // A command of the controller, with PTT on for the voice system at 10.0.0.5.
    void command(int seq, const std::string& squ, const std::string& sqi = "")
    {
        controller->send("{ seq " + std::to_string(seq) + ", slot 3, pdu command : ioctl : rtpExt : ed-137 : { addr { "
                         "session-addr \"10.0.0.5\", session-ssrc 7 }, params rx : { header { ptt normal-ptt-on, squ " +
                         squ + ", ptt-id 5, ptt-mute FALSE, ptt-summation FALSE, sct FALSE }" + sqi + " } } }");
        EXPECT_EQ(next(), "{ seq " + std::to_string(seq) + ", slot 3, pdu response : success : NULL }");
    }
    // The payloads written to the header-extension sessions: "<hex> -> <result>".
    Strings payloads()
    {
        Strings written;
        for (const std::string& line : device_requests(gateway.board, ext, "payload"))
            written.push_back(line.substr(line.find("bytes=") + 6));
        return written;
    }

    Gateway gateway{Gateway::quiet()};
    std::unique_ptr<ControllerProcess> controller = gateway.controller();
    // Where the slots 3 and 4 send RTCP: the remote RTP port plus one.
    slottest::UdpPort rtcp[2] = {slottest::UdpPort{0x7F000002}, slottest::UdpPort{0x7F000002}};
};

TEST_F(Ed137Slots, TheDefaultSessionCarriesTheStateAsKeepAliveAndSilenceIsReportedUntilAPttCommand)
{
    create(3, "squ-on");
    EXPECT_EQ(next(), "{ slot 3, pdu signal : abort : 151 }");
    const Strings session = device_requests(gateway.board, ext, "RTP_EXT_");
    ASSERT_EQ(session.size(), 2u);
    EXPECT_EQ(session[0].substr(session[0].find(" type")), " type=0x00000167 settings=1,123,10,1 -> 0");
    EXPECT_NE(session[1].find(" pid=-1 -> 0 rtp=file="), std::string::npos) << session[1];
    Strings written;
    ASSERT_TRUE(eventually([&] { return (written = payloads()).size() >= 3; }, answer_time));
    EXPECT_EQ(written, Strings(written.size(), "12580000 -> 4"));

    // A PTT command of the voice system at 10.0.0.7: normal PTT on, PTT-id 5.
    gateway.board.set(ext, "packet 4660 10.0.0.7 21400000");
    EXPECT_EQ(controller->wait_for("rtpExt", answer_time).value_or("nothing"),
              "{ slot 3, pdu signal : rtpExt : { status ed-137 : { header { ptt ptt-off, squ squ-on, ptt-id 9, "
              "ptt-mute FALSE, ptt-summation TRUE, sct TRUE }, sqi { bss-method rssi, bss-quality 0 } }, request "
              "ed-137 : { addr { session-addr \"10.0.0.7\", session-ssrc 4660 }, params tx : { header { ptt "
              "normal-ptt-on, squ squ-off, ptt-id 5, ptt-mute FALSE, ptt-summation FALSE, sct FALSE } } } } }");
}

TEST_F(Ed137Slots, AGatedInputRunsWhileTheCommandedSquelchIsOnAndTheCommandReadsOnTheWireAsGiven)
{
    create(3, "squ-off", response);
    const std::string init = device_requests(gateway.board, ext, "RTP_EXT_INIT").at(0);
    EXPECT_EQ(init.substr(init.find(" type")), " type=0x00000167 settings=1,123,150,3 -> 0");
    controller->send("{ seq 10, slot 1, pdu command : create : trunk : { trunk 0, timeslot 1 } }");
    controller->send("{ seq 11, slot 1, pdu command : connect : 3 }");
    EXPECT_EQ(controller->wait_for("seq 11", answer_time), "{ seq 11, slot 1, pdu response : success : NULL }");
    // The connect leaves the gated input stopped.
    EXPECT_EQ(device_requests(gateway.board, "/dev/rtp", "RTP_S"), Strings{});
    command(2, "squ-on", ", sqi { bss-method agc, bss-quality 20 }");
    EXPECT_TRUE(eventually([this] { return payloads().size() == 2 && payloads()[1] == "314111A1 -> 4"; }, answer_time));
    command(3, "squ-off");
    // A slot created with the squelch on starts its input at once.
    create(4, "squ-on", response);
    const Strings inputs = device_requests(gateway.board, "/dev/rtp", "RTP_S");
    ASSERT_EQ(inputs.size(), 3u);
    EXPECT_EQ(inputs[1], "RTP_STOP" + inputs[0].substr(9));
    EXPECT_TRUE(inputs[2].rfind("RTP_START_INPUT", 0) == 0 && inputs[2] != inputs[0]) << inputs[2];

    if (!foundationtest::tshark_available())
        GTEST_SKIP() << "tshark is not installed";
    std::system(("tshark -r " + gateway.root / "/rtp_ext.pcap" + " -d udp.port==" + std::to_string(rtcp[0].port - 1) +
                 ",rtp -Y 'rtp.ext.ed137a.ft.sqi.qidx || _ws.malformed' -T fields -e rtp.ext.ed137a.ptt_type -e "
                 "rtp.ext.ed137a.squ -e rtp.ext.ed137a.ptt_id -e rtp.ext.ed137a.ft.sqi.qidx -e "
                 "rtp.ext.ed137a.ft.sqi.qidx-ml -e _ws.malformed >" + gateway.root / "/fields 2>/dev/null").c_str());
    EXPECT_EQ(gateway.root.read_file("/fields"), "1\t1\t5\t20\t1\t\n");
}

}  // namespace
