// LEMZ radio slots driven by the test controller: the header-extension session the daemon opens
// beside the RTP session, the reports it repeats, the controller's radio commands as payloads on
// the wire, a received PTT reaching the controller, and the extension attached for another process.

#include "gateway.h"

#include "slots/udp_port.h"
#include "support/journal_requests.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

namespace {

using namespace systemtest;
using Strings = std::vector<std::string>;

const milliseconds answer_time(10000);
const char ext[] = "/dev/rtp_ext";

std::string flags(int prio, bool ptt, const char* bss = "FALSE", int selcall = 0, int li = 0)
{
    return "{ prio " + std::to_string(prio) + ", ptt " + (ptt ? "TRUE" : "FALSE") + ", bss " + bss +
        ", vad-rx FALSE, vad-tx FALSE, sql FALSE, sh FALSE, pwr FALSE, rv FALSE, resv FALSE, selcall " +
        std::to_string(selcall) + ", li " + std::to_string(li) + " }";
}

class LemzSlots : public ::testing::Test {
protected:
    std::string next() { return controller->next(answer_time).value_or("nothing"); }
    // Creates the slot; `more` goes after the radio status. The answer and the stream signals.
    Strings create(int slot, const std::string& more, const std::string& frequency = "145.5")
    {
        controller->send("{ seq 1, slot " + std::to_string(slot) +
                         ", pdu command : create : rtp : { codecRTP { payload ptG729, dhost { iaddr \"127.0.0.2\", "
                         "port " +
                         std::to_string(peer.port - 1) + " }, radio { status lemz : { flags " +
                         flags(3, false, "TRUE", 1, 5) +
                         ", freq { channel 3, frequency \"" + frequency +
                         "\" }, remote { no 1, ch 2 }, squelshe on, rte h3e, standby-state-channel active, "
                         "standby-group 7, standby-state-receiver standby }" +
                         more + " } }, txPayload ptG729, rxPayload ptG729 } }");
        return {next(), next(), next()};
    }
    void command(int seq, const std::string& params)
    {
        controller->send("{ seq " + std::to_string(seq) +
                         ", slot 3, pdu command : ioctl : rtpExt : lemz : { addr { session-addr \"127.0.0.5\", "
                         "session-ssrc 9 }, params " +
                         params + " } }");
        EXPECT_EQ(next(), "{ seq " + std::to_string(seq) + ", slot 3, pdu response : success : NULL }");
    }
    // The packet types of the payloads written so far, in hexadecimal.
    Strings types()
    {
        Strings written = payloads();
        for (std::string& payload : written)
            payload.erase(2);
        return written;
    }
    // The payloads written so far, in hexadecimal.
    Strings payloads()
    {
        Strings written;
        for (const testsupport::JournalEntry& entry : testsupport::device_entries(gateway.board, ext, "payload"))
            written.push_back(entry.fields.substr(entry.fields.find("bytes=") + 6));
        return written;
    }
    bool written(const std::string& payload)
    {
        auto found = [&] {
            const Strings all = payloads();
            return std::find(all.begin(), all.end(), payload) != all.end();
        };
        return eventually(found, answer_time);
    }
    Strings requests(const std::string& device, const std::string& prefix)
    {
        return testsupport::device_requests(gateway.board, device, prefix);
    }

    Gateway gateway{Gateway::quiet()};
    std::unique_ptr<ControllerProcess> controller = gateway.controller();
    slottest::UdpPort peer{0x7F000002};
};

TEST_F(LemzSlots, AGatewaySlotReportsTheRadioSendsTheCommandsAndHearsTheTransmitterWithThePtt)
{
    EXPECT_EQ(create(3, ""), (Strings{"{ seq 1, slot 3, pdu response : success : NULL }",
                                      "{ slot 3, pdu signal : transmitter : active : 512 }",
                                      "{ slot 3, pdu signal : receiver : active : 512 }"}));
    std::string rtp = gateway.board.state("/dev/rtp").at(0);
    rtp.erase(rtp.find(' '));
    const Strings session = requests(ext, "RTP_EXT_");
    ASSERT_EQ(session.size(), 2u);
    const std::string file = session[0].substr(13, session[0].find(' ', 13) - 13);
    EXPECT_EQ(session[0], "RTP_EXT_INIT " + file + " type=0x00001337 settings=0,0,0,0 -> 0");
    const std::string pid = std::to_string(gateway.daemon->pid());
    EXPECT_TRUE(std::regex_match(session[1], std::regex("RTP_EXT_ATTACH fd=[0-9]+ pid=" + pid + " -> 0 rtp=" + rtp)))
        << session[1];

    // The first round of reports, a second after the creation: flags, channel, remote channel, standby.
    ASSERT_TRUE(eventually([this] { return payloads().size() >= 4; }, answer_time));
    const Strings round = payloads();
    EXPECT_EQ(Strings(round.begin(), round.begin() + 4),
              (Strings{"8130802A", "8430802A000000034311800002050000", "8630802A01020000", "8730802A00070100"}));

    // Each command is one payload; the transmitter narrows the source filter.
    const std::pair<std::string, std::string> commands[] = {
        {"wm-trans : { flags " + flags(5, true) + ", ip \"127.0.0.5\", ssrc 9 }", "825400000500007F00000009"},
        {"wm-chan : { freq { channel 4, frequency \"150.25\" }, squelshe persent_0, rte j3e }",
         "84540000000000044316400003070000"},
        {"wm-quality : { bss-val \"0.5\" }", "835400003F000000"},
        {"wm-selcall : { flags " + flags(5, true) + ", ip \"127.0.0.5\", ssrc 9, cid \"AB\" }",
         "855400000500007F0000000902414200"},
        {"wm-remote : { remote { no 9, ch 8 } }", "8654000009080000"},
        {"wm-standby : { state-channel standby, group 2, state-receiver active }", "8754000001020000"},
        {"wm-flags : { flags " + flags(5, true) + " }", "81540000"}};
    int seq = 2;
    for (const auto& [params, payload] : commands) {
        command(seq++, params);
        EXPECT_TRUE(written(payload)) << params;
    }
    EXPECT_EQ(requests(ext, "RTP_EXT_FILTER"), Strings{"RTP_EXT_FILTER " + file + " address=127.0.0.5 -> 0"});

    // With the PTT released and taken again while the driver refuses the filter, a PTT from another
    // sender reaches the control: the one with the higher priority is reported, the lower not.
    command(seq++, "wm-flags : { flags " + flags(5, false) + " }");
    gateway.board.fail(ext, 0xC0084504, EIO, 3);
    command(seq++, "wm-flags : { flags " + flags(5, true) + " }");
    gateway.board.set(ext, "packet 8 127.0.0.8 03740000");
    gateway.board.set(ext, "packet 9 127.0.0.9 03240000");
    EXPECT_EQ(next(), "{ slot 3, pdu signal : rtpExt : { status lemz : { flags " + flags(5, true) +
                          ", freq { channel 4, frequency \"150.250000\" }, remote { no 9, ch 8 }, squelshe persent_0, "
                          "rte j3e, standby-state-channel standby, standby-group 2, standby-state-receiver active }, "
                          "request lemz : { addr { session-addr \"127.0.0.9\", session-ssrc 9 }, params gw-set-ptt : "
                          "{ flags " +
                          flags(2, true) + " } } } }");
}

TEST_F(LemzSlots, AnExtensionHeldByAnotherProcessIsAttachedOnTheRtpDeviceWithoutASessionOfItsOwn)
{
    EXPECT_EQ(create(4, ", bss-enable TRUE }, rtp-e2m { slot 1, channel 2, mode only-rtp : { fd 7, pid 300 }").at(0),
              "{ seq 1, slot 4, pdu response : success : NULL }");
    EXPECT_EQ(requests("/dev/rtp", "RTP_ADD_CHANNEL"),
              Strings{"RTP_ADD_CHANNEL channel=-1 word1=-1 word2=-1 bss=1 -> 0 channel=512"});
    EXPECT_EQ(requests("/dev/rtp", "RTP_ATTACH_EXT"), Strings{"RTP_ATTACH_EXT fd=7 pid=300 -> -1 EBADF"});
    // A gateway slot with a session of its own reports every second, without the channel while no
    // frequency is set; the other one has no session to report on.
    EXPECT_EQ(create(3, "", "-1").at(0), "{ seq 1, slot 3, pdu response : success : NULL }");
    ASSERT_TRUE(eventually([this] { return payloads().size() >= 9; }, answer_time));
    const Strings sent = types();
    EXPECT_EQ(Strings(sent.begin(), sent.begin() + 9),
              (Strings{"81", "86", "87", "81", "86", "87", "81", "86", "87"}));
    EXPECT_EQ(testsupport::device_requests(gateway.board, ext, "open", true).size(), 1u);
}

}  // namespace
