// The RTP factory and its slots behind the slot service, on the emulated RTP driver: the payload
// types a session gets, the creates it declines or cannot serve, and the ioctls that fail (the
// session record, RTCP and the driver's events the system tests show).

#include "../hardware/emulated_device_test.h"
#include "../server/server_harness.h"

#include "server/slots.h"
#include "slots/rtp/rtp_factory.h"
#include "slots/rtp/rtp_lemz_factory.h"
#include "udp_port.h"

#include <algorithm>
#include <filesystem>
#include <regex>
#include <tuple>

namespace {

using Payload = TERM::Payload;

TEST(RtpPayloadTypes, ACodecModeOverridesTheCodecOnlyWhenItIsAnotherPlainG711)
{
    const std::tuple<Payload::NamedNumber, Payload::NamedNumber, uint16_t> rows[] = {
        {Payload::ptG729, Payload::ptG711_Ulaw, 0},
        {Payload::ptG729, Payload::ptG723, 18},
        {Payload::ptG723, Payload::ptG711mcc_Alaw, 4},
        {Payload::ptG711_Ulaw, Payload::ptG711_Alaw, 8},
        {Payload::ptG711mcc_Alaw, Payload::ptG711_Alaw, 8},
        {Payload::ptG711mcc_Ulaw, Payload::ptG729, 128},
        {Payload::ptG728, Payload::ptG728, 15}};
    for (auto [payload, mode, type] : rows)
        EXPECT_EQ(RtpFactory::translateCodec(payload, mode), type) << payload << "/" << mode;
}

class RtpFactoryTest : public boardtest::BoardTest {
protected:
    RtpFactoryTest() { RtpFactory::instance(); }
    ~RtpFactoryTest() override { controller->deliver("{ seq 9, slot 3, pdu command : destroy : NULL }"); }

    // The answer to a command for slot 3 (the stream signals of a create left out).
    std::string deliver(const std::string& command)
    {
        controller->deliver("{ seq 1, slot 3, pdu command : " + command + " }");
        return controller->received().at(0);
    }
    // A create with the RTP parameters after the payload and the remote host.
    std::string create(const std::string& payload, const std::string& more = "")
    {
        return deliver("create : rtp : { codecRTP { payload " + payload + ", dhost { iaddr \"127.0.0.2\", port " +
                       std::to_string(peer.port - 1) + " }" + more + " }, txPayload ptG729, rxPayload ptG711-Ulaw }");
    }

    // Never deleted, so that no controller loss is handled at the end.
    servertest::ServerHarness* controller = new servertest::ServerHarness{Slots::instance()};
    // Where the slots send RTCP: the remote RTP port plus one.
    slottest::UdpPort peer{0x7F000002};
    const std::string success = "{ seq 1, slot 3, pdu response : success : NULL }";
    const std::string refused = "{ seq 1, slot 3, pdu response : error : insufficientResources }";
};

TEST_F(RtpFactoryTest, CreatesItCannotServeOpenNoSessionOrCloseWhatTheyOpened)
{
    const std::tuple<const char*, const char*, const char*, const char*> rows[] = {
        {"", "ptG729",
         ", radio { status ed-137 : { header { ptt ptt-off, squ squ-off, ptt-id 0, ptt-mute FALSE, "
         "ptt-summation FALSE, sct FALSE } } }",
         nullptr},
        {"", "ptT38-UDP-TL", "", "rtp do not created: payload ptT38-UDP-TLnot found"},
        {"", "reserv-1", "", "rtp do not created: payload reserv-1not found"},
        {"", "ptR2S", "", "rtp do not created: payload ptR2Snot found"},
        {"absent /dev/rtp", "ptG729", "", "device \"/dev/rtp\" open fail: No such file or directory"},
        {"fail /dev/rtp 0xC02C5200 EINVAL", "ptG729", "", "begin session fail !!! Invalid argument"},
        {"fail /dev/rtp 0xC0105202 ENOSPC", "ptG729", "", "add channel fail !!! No space left on device"}};
    for (auto [fault, payload, more, line] : rows) {
        if (*fault)
            board.command(fault);
        EXPECT_EQ(create(payload, more), refused) << payload << more;
        const std::string all = errors.text() + debug.text();
        // A request with a radio block is another factory's: not even its request line is logged.
        EXPECT_EQ(all.find(line ? "]: " + std::string(line) + "\n" : "do create rtp") != std::string::npos,
                  line != nullptr)
            << all;
        // Nothing is opened for a request declined at once, and the session of a failed one is closed.
        EXPECT_TRUE(*fault || requests("/dev/rtp").empty()) << payload;
        EXPECT_TRUE(testsupport::run_reactor_until([&] { return board.state("/dev/rtp").empty(); })) << payload;
        board.command("present /dev/rtp");
    }
}

TEST_F(RtpFactoryTest, HostsThatDoNotParsePortsThatLeaveRtcpNoPortAndPacketFactorsOutOfRangeAreRefused)
{
    const std::string port = std::to_string(peer.port - 1), dhost = "dhost { iaddr \"127.0.0.2\", port " + port + " }";
    const std::pair<std::string, std::string> rows[] = {
        {"dhost { iaddr \"bogus\", port " + port + " }", "dhost \"bogus\" is no IPv4 address"},
        {"dhost { iaddr \"\", port " + port + " }", "dhost \"\" is no IPv4 address"},
        {"dhost { iaddr \"::1\", port " + port + " }", "dhost \"::1\" is no IPv4 address"},
        {dhost + ", shost { iaddr \"bogus\", port " + port + " }", "shost \"bogus\" is no IPv4 address"},
        {"dhost { iaddr \"127.0.0.2\", port 65535 }", "dhost port 65535 leaves RTCP no port"},
        {"dhost { iaddr \"127.0.0.2\", port 0 }", "dhost port 0 leaves RTCP no port"},
        {dhost + ", shost { iaddr \"127.0.0.1\", port 65535 }", "shost port 65535 leaves RTCP no port"},
        {dhost + ", shost { iaddr \"127.0.0.1\", port 0 }", "shost port 0 leaves RTCP no port"},
        {dhost + ", pfactor 65536", "pfactor 65536 is out of 0..65535"},
        {dhost + ", pfactor -1", "pfactor -1 is out of 0..65535"}};
    for (const auto& [hosts, line] : rows) {
        const size_t logged_before = errors.text().size();
        EXPECT_EQ(deliver("create : rtp : { codecRTP { payload ptG729, " + hosts +
                          " }, txPayload ptG729, rxPayload ptG729 }"),
                  refused);
        const std::string added = errors.text().substr(logged_before);
        EXPECT_TRUE(added.find("]: rtp do not created: " + line + "\n") != std::string::npos &&
                    std::count(added.begin(), added.end(), '\n') == 1)
            << added;
        EXPECT_TRUE(requests("/dev/rtp").empty()) << line;
    }
}

TEST_F(RtpFactoryTest, TheRtcpSocketThatIsNeverReadHoldsTheSmallestReceiveBuffer)
{
    ASSERT_EQ(create("ptG729"), success);
    // The slot's socket: bound to any address on the remote RTP port plus one.
    int buffer = -1;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        const int fd = std::stoi(entry.path().filename());
        sockaddr_in bound{};
        socklen_t size = sizeof bound;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &size) == 0 && bound.sin_family == AF_INET &&
            ntohs(bound.sin_port) == peer.port && bound.sin_addr.s_addr == INADDR_ANY) {
            size = sizeof buffer;
            getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, &size);
        }
    }
    EXPECT_GT(buffer, 0);
    EXPECT_LT(buffer, 16384);
}

TEST_F(RtpFactoryTest, IoctlsItDoesNotServeOrCannotCarryOutAreRefusedAndKeepTheSession)
{
    ASSERT_EQ(create("ptG729", ", ssrc 7"), success);
    controller->received();
    const std::string unsupported = "{ seq 1, slot 3, pdu response : error : unsupported }";
    EXPECT_EQ(deliver("ioctl : mute-enable : { rx TRUE, tx TRUE }"), unsupported);
    EXPECT_EQ(deliver("ioctl : delays : { rx 1 }"), unsupported);
    board.command("fail /dev/rtp 0xC024520C EIO");
    EXPECT_EQ(deliver("ioctl : pd-enable : { timeout 5 }"), unsupported);
    EXPECT_TRUE(logged(errors, "rtp[512]: RTP SET EVENT PD fail: errno=\"Input/output error\""));

    // A session that cannot begin leaves the old one running with its payload type.
    board.command("fail /dev/rtp 0xC02C5200 EBUSY 2");
    board.clear_journal();
    for (int tries = 0; tries < 2; ++tries)
        EXPECT_EQ(deliver("ioctl : encoder-mode : ulaw"), unsupported);
    EXPECT_TRUE(logged(errors, "rtp[512]: fail to restart RTP session!"));
    EXPECT_EQ(requests("/dev/rtp", "RTP_").size(), 2u);
    ASSERT_TRUE(testsupport::run_reactor_until([&] { return board.state("/dev/rtp").size() == 1; }));
    EXPECT_NE(board.state("/dev/rtp")[0].find("teardowns=0"), std::string::npos);

    // A new session that refuses the PD events of the old one fails the change; the next new
    // session is not asked for events that none has.
    EXPECT_EQ(deliver("ioctl : pd-enable : { timeout 5 }"), success);
    board.command("fail /dev/rtp 0xC024520C EIO");
    EXPECT_EQ(deliver("ioctl : encoder-mode : ulaw"), unsupported);
    board.clear_journal();
    EXPECT_EQ(deliver("ioctl : encoder-mode : alaw"), success);
    EXPECT_EQ(requests("/dev/rtp", "RTP_PD_ENABLE"), boardtest::Strings{});
}

TEST_F(RtpFactoryTest, TheRequestsFieldsReachTheSessionRecordAndItsEchoAndRadioSettingsTheDsp)
{
    RtpLEMZFactory::instance();
    const std::string dhost = "dhost { iaddr \"127.0.0.2\", port " + std::to_string(peer.port - 1) + " }";
    const std::string lemz = "radio { status lemz : { flags { prio 5, ptt FALSE, bss FALSE, vad-rx FALSE, vad-tx FALSE, "
                             "sql FALSE, sh FALSE, pwr FALSE, rv FALSE, resv FALSE, selcall 0, li 0 }, freq { channel 3, "
                             "frequency \"1\" }, remote { no 1, ch 2 }, squelshe on, rte h3e, standby-state-channel active, "
                             "standby-group 7, standby-state-receiver standby }";
    // The RTP parameters after the payload and the remote host, the receive and transmit payloads;
    // the session record's fields from the payload types on, and the requests to the tone and DSP
    // drivers.
    const std::tuple<std::string, const char*, const char*, std::string, boardtest::Strings> rows[] = {
        {"ptG711-Alaw", "ptG711-Ulaw", "ptG729", "rx-pt=0 tx-pt=8 pfactor=0 vad=0 crate=0", {}},
        {"ptG711-Ulaw", "ptG711-Ulaw", "ptG711-Alaw", "rx-pt=0 tx-pt=8 pfactor=0 vad=0 crate=0", {}},
        {"ptG723", "ptG723", "ptG711mcc-Alaw", "rx-pt=4 tx-pt=4 pfactor=0 vad=0 crate=0", {}},
        {"ptG711mcc-Alaw", "ptG711mcc-Alaw", "ptG711mcc-Ulaw", "rx-pt=136 tx-pt=136 pfactor=0 vad=0 crate=0", {}},
        {"ptG711mcc-Ulaw", "ptG728", "ptG711mcc-Ulaw", "rx-pt=128 tx-pt=128 pfactor=0 vad=0 crate=0", {}},
        {"ptG728, " + dhost + ", pfactor 160, crate 2, vad TRUE, ssrc 7, ttl 9, qos-dscp af11", "ptG728", "ptG728",
         "rx-pt=15 tx-pt=15 pfactor=160 vad=1 crate=1 ssrc=0x00000007 ttl=9 tos=0x00000028", {}},
        {"ptG729, " + dhost + ", crate 0, vad FALSE", "ptG729", "ptG729", "rx-pt=18 tx-pt=18 pfactor=0 vad=0 crate=0", {}},
        // The echo canceller is set only when the suppressor is asked for.
        {"ptG729, " + dhost + ", echo { suppressor TRUE, canceller TRUE }", "ptG729", "ptG729", "rx-pt=18",
         {"/dev/dtmf CHANNEL_LMS_ON timeslot=512"}},
        {"ptG729, " + dhost + ", echo { suppressor TRUE, canceller FALSE }", "ptG729", "ptG729", "rx-pt=18",
         {"/dev/dtmf CHANNEL_LMS_OFF timeslot=512"}},
        {"ptG729, " + dhost + ", echo { suppressor FALSE, canceller TRUE }", "ptG729", "ptG729", "rx-pt=18", {}},
        // A radio slot's delays, given or 0, and its noise gate and SELCAL shaper.
        {"ptG729, " + dhost + ", " + lemz + ", rx-delay 10, tx-delay 20, ng-enable TRUE }", "ptG729", "ptG729",
         "rx-pt=18", {"/dev/dsp DSPROC_CONFIGURE timeslot=512 DELAYS rx=10 tx=20 selcal=0",
                      "/dev/dsp DSPROC_ENABLE timeslot=512 mask=128"}},
        {"ptG729, " + dhost + ", " + lemz + ", selcal-delay 5, selcal-sh-enable TRUE }", "ptG729", "ptG729",
         "rx-pt=18", {"/dev/dsp DSPROC_CONFIGURE timeslot=512 DELAYS rx=0 tx=0 selcal=5",
                      "/dev/dsp DSPROC_ENABLE timeslot=512 mask=1024"}},
    };
    for (const auto& [rtp, rx, tx, record, dsp] : rows) {
        board.clear_journal();
        const std::string params = rtp.find("dhost") == std::string::npos ? rtp + ", " + dhost : rtp;
        EXPECT_EQ(deliver("create : rtp : { codecRTP { payload " + params + " }, txPayload " + tx + ", rxPayload " + rx +
                          " }"),
                  success)
            << rtp;
        const boardtest::Strings begun = requests("/dev/rtp", "RTP_BEGIN");
        ASSERT_EQ(begun.size(), 1u) << rtp;
        EXPECT_NE(begun[0].find(" " + record), std::string::npos) << begun[0];
        boardtest::Strings features;
        for (const char* device : {"/dev/dtmf", "/dev/dsp"})
            for (const std::string& line : testsupport::device_requests(board, device))
                // The service numbers its enables on from one slot to the next.
                features.push_back(std::regex_replace(device + (" " + line.substr(0, line.find(" -> "))),
                                                      std::regex(" id=[0-9]+"), ""));
        EXPECT_EQ(features, dsp) << rtp;
        controller->deliver("{ seq 9, slot 3, pdu command : destroy : NULL }");
        controller->received();
    }
}

TEST_F(RtpFactoryTest, ARtcpPortInUseOrAMissingVoiceDeviceIsLoggedAndCountsNothing)
{
    // A socket that does not share its port: the slot's RTCP socket cannot bind beside it.
    const int taken = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in bound{AF_INET, 0, {htonl(INADDR_ANY)}, {}};
    socklen_t size = sizeof bound;
    ASSERT_EQ(bind(taken, reinterpret_cast<sockaddr*>(&bound), size), 0);
    getsockname(taken, reinterpret_cast<sockaddr*>(&bound), &size);
    const int port = ntohs(bound.sin_port);
    EXPECT_EQ(deliver("create : rtp : { codecRTP { payload ptG729, dhost { iaddr \"127.0.0.2\", port " +
                      std::to_string(port - 1) + " } }, txPayload ptG729, rxPayload ptG729 }"),
              refused);
    close(taken);
    EXPECT_NE(debug.text().find("]: rtp do not created: can not bind socket [errno=Address already in use, port=" +
                                std::to_string(port) + "]\n"),
              std::string::npos)
        << debug.text();
    EXPECT_TRUE(requests("/dev/rtp").empty());

    board.set_absent("/dev/voice", true);
    controller->deliver("{ seq 2, pdu command : query : NULL }");
    EXPECT_TRUE(logged(errors, "rtp[0,0,0,0]: device \"/dev/voice\" open fail: No such file or directory"));
    const boardtest::Strings answers = controller->received();
    ASSERT_EQ(answers.size(), 2u);
    for (const char* count : {"rtp-g729 0", "rtp-g723 0", "rtp-g711 0", "rtp-g711mcc 0", "universal 0"})
        EXPECT_NE(answers[1].find(count), std::string::npos) << count << " in " << answers[1];
}

}  // namespace
