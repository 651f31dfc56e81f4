// The LEMZ radio controls on the emulated header-extension driver, on the test's clock: which
// reports the gateway repeats when, which received packets it accepts while a transmitter holds
// the PTT, and the radio requests that received packets become (the payloads' bytes and the
// daemon's path to the controller are the system test's).

#include "../hardware/emulated_device_test.h"
#include "../foundation/reactor/reactor_test_support.h"

#include "foundation/reactor/clock.h"
#include "slots/rtp/lemz_radio_gw_control.h"
#include "slots/rtp/lemz_radio_ws_control.h"
#include "support/controller_pair.h"

#include <arpa/inet.h>
#include <memory>
#include <sstream>

namespace {

using namespace RTPSignalling;
using boardtest::Strings;

const char ext[] = "/dev/rtp_ext";
// Far from the wrap of the 32-bit millisecond clock, and just before it.
constexpr uint64_t start_ms = (uint64_t{400} << 32) + 10000000;
constexpr uint64_t wrap_ms = (uint64_t{401} << 32) - 500;

template <class Value>
Value read(const std::string& text)
{
    Value value;
    std::istringstream input(text);
    EXPECT_TRUE(input >> value) << text;
    return value;
}

std::string flags(int prio, bool ptt)
{
    return "{ prio " + std::to_string(prio) + ", ptt " + (ptt ? "TRUE" : "FALSE") +
        ", bss FALSE, vad-rx FALSE, vad-tx FALSE, sql FALSE, sh FALSE, pwr FALSE, rv FALSE, resv FALSE, "
        "selcall 0, li 0 }";
}

TERM::RadioStatus status(bool ptt, const std::string& channel = "3", const std::string& frequency = "145.5",
                         const std::string& standby = "active")
{
    return read<TERM::RadioStatus>("lemz : { flags " + flags(5, ptt) + ", freq { channel " + channel +
                                   ", frequency \"" + frequency +
                                   "\" }, remote { no 1, ch 2 }, squelshe on, rte h3e, standby-state-channel " +
                                   standby + ", standby-group 7, standby-state-receiver standby }");
}

TERM::RadioModifier command(const std::string& params)
{
    return read<TERM::RadioModifier>("lemz : { addr { session-addr \"10.0.0.9\", session-ssrc 1 }, params " +
                                     params + " }");
}

sig_proto packet(uint32_t type, uint32_t prio, uint32_t ptt, const char* from)
{
    sig_proto made{};
    made.type = type;
    made.priority = prio;
    made.flag_p = ptt;
    made.source_addr = inet_addr(from);
    return made;
}

struct Reports : IRadioControlNotify {
    void RadioControlNotify(const TERM::RtpRadioRequest& request) override
    {
        requests.push_back(testsupport::collapse(request.get_request().asValueNotation()));
    }
    std::vector<std::string> requests;
};

class LemzControlTest : public boardtest::BoardTest {
protected:
    // The clock stands at the given milliseconds since the epoch.
    static void at(uint64_t ms)
    {
        Mux::timeval now;
        Mux::timevalset(now, ms);
        Mux::set_cached_time_for_tests(now);
    }
    // The types of the payloads written since the last call, in hexadecimal.
    std::string sent()
    {
        std::string types;
        for (const testsupport::JournalEntry& entry : testsupport::device_entries(board, ext, "payload"))
            types += (types.empty() ? "" : " ") + entry.fields.substr(entry.fields.find("bytes=") + 6, 2);
        board.clear_journal();
        return types;
    }

    const rtp_ext_init_params init{};
};

TEST_F(LemzControlTest, TheGatewayRepeatsEachReportOnceASecondWhileItsFieldsAreSet)
{
    // PTT, channel, frequency, standby state, creation, run after, reports sent, next delay.
    using Row = std::tuple<bool, const char*, const char*, const char*, uint64_t, unsigned, const char*, unsigned long>;
    const Row rows[] = {{false, "3", "145.5", "active", start_ms, 1000, "81 84 86 87", 1000},
                        {false, "3", "145.5", "active", start_ms, 400, "86", 610},
                        {true, "3", "145.5", "standby", start_ms, 1000, "82 84 86 87", 1000},
                        {false, "3", "-1.0", "active", start_ms, 1000, "81 86 87", 1000},
                        {false, "-2", "145.5", "active", start_ms, 1000, "81 86 87", 1000},
                        {false, "3", "145.5", "not-use", start_ms, 1000, "81 84 86", 1000},
                        {false, "3", "145.5", "active", wrap_ms, 1000, "81 84 86 87", 1000}};
    for (const auto& [ptt, channel, frequency, standby, created, after, reports, delay] : rows) {
        at(created);
        LemzRadioGWControl control(init);
        // The status merges into the commanded state and sends nothing.
        EXPECT_TRUE(control.SendASNToChan(status(ptt, channel, frequency, standby)));
        EXPECT_EQ(sent(), "");
        EXPECT_EQ(control.ProcessRadioStatus(uint32_t(created + after), 1000), delay) << reports;
        EXPECT_EQ(sent(), reports);
    }
}

TEST_F(LemzControlTest, AReportSentOnACommandPutsOffItsRepetitionAndGatewayCommandsAreNotSent)
{
    at(start_ms);
    LemzRadioGWControl control(init);
    control.SendASNToChan(status(false));
    at(start_ms + 300);
    EXPECT_TRUE(control.SendASNToChan(command("wm-trans : { flags " + flags(5, true) + ", ip \"10.0.0.5\", ssrc 9 }")));
    EXPECT_EQ(sent(), "82");
    EXPECT_EQ(control.ProcessRadioStatus(uint32_t(start_ms + 1000), 1000), 310u);
    EXPECT_EQ(sent(), "84 86 87");
    EXPECT_EQ(control.ProcessRadioStatus(uint32_t(start_ms + 1310), 1000), 700u);
    EXPECT_EQ(sent(), "82 86");

    // A command to a gateway merges and is not sent; another protocol's status is refused.
    EXPECT_TRUE(control.SendASNToChan(command("gw-set-ptt : { flags " + flags(5, false) + " }")));
    EXPECT_FALSE(control.SendASNToChan(read<TERM::RadioStatus>(
        "ed-137 : { header { ptt ptt-off, squ squ-off, ptt-id 0, ptt-mute FALSE, ptt-summation FALSE, sct FALSE } }")));
    EXPECT_EQ(sent(), "");
}

TEST_F(LemzControlTest, WhileATransmitterHoldsThePttOnlyItAndHigherPriorityPttCommandsAreAccepted)
{
    LemzRadioGWControl control(init);
    Reports reports;
    control.SetNotify(&reports);
    // A PTT whose transmitter is not known yet narrows nothing.
    control.SendASNToChan(status(true));
    control.SendASNToChan(command("wm-trans : { flags " + flags(5, true) + ", ip \"10.0.0.5\", ssrc 9 }"));
    const std::tuple<sig_proto, bool> rows[] = {{packet(GW_FLAG_PTT, 5, 1, "10.0.0.9"), false},
                                                {packet(GW_FLAG_PTT, 2, 0, "10.0.0.9"), false},
                                                {packet(GW_ADJUST_CHAN, 0, 1, "10.0.0.9"), false},
                                                {packet(GW_FLAG_PTT, 9, 0, "10.0.0.5"), true}};
    for (const auto& [received, accepted] : rows) {
        reports.requests.clear();
        control.OnRtpProtoRXEvent(received);
        EXPECT_EQ(reports.requests.size(), accepted ? 1u : 0u) << received.type << "/" << received.priority;
    }
    // The PTT released, every sender is heard again.
    control.SendASNToChan(command("wm-flags : { flags " + flags(5, false) + " }"));
    control.OnRtpProtoRXEvent(packet(GW_FLAG_PTT, 9, 0, "10.0.0.9"));
    EXPECT_EQ(reports.requests.size(), 2u);
    EXPECT_EQ(testsupport::device_requests(board, ext, "RTP_EXT_"),
              (Strings{"RTP_EXT_INIT file=1 type=0x00000000 settings=0,0,0,0 -> 0",
                       "RTP_EXT_FILTER file=1 address=10.0.0.5 -> 0", "RTP_EXT_UNFILTER file=1 address=0.0.0.0 -> 0"}));
}

TEST_F(LemzControlTest, AcceptedPacketsBecomeTheCommandsOfTheRadioRequest)
{
    sig_proto chan = packet(WM_CHAN, 0, 0, "10.0.0.9");
    chan.source_ssrc = 77;
    sig_proto_set_wm_chan(&chan, 3, 145.5f, 2, 5);
    sig_proto call = packet(GW_SEL_CALL, 1, 1, "10.0.0.8");
    sig_proto_set_gw_selcall(&call, "AB", 2);
    LemzRadioWSControl workstation(init);
    LemzRadioGWControl gateway(init);
    Reports reports;
    workstation.SetNotify(&reports);
    gateway.SetNotify(&reports);
    workstation.OnRtpProtoRXEvent(chan);
    gateway.OnRtpProtoRXEvent(call);
    EXPECT_EQ(reports.requests,
              (Strings{"lemz : { addr { session-addr \"10.0.0.9\", session-ssrc 77 }, params wm-chan : { freq { "
                       "channel 3, frequency \"145.500000\" }, squelshe on, rte h3e } }",
                       "lemz : { addr { session-addr \"10.0.0.8\", session-ssrc 0 }, params gw-set-selcall : { flags " +
                           testsupport::collapse(flags(1, true)) + ", ip \"0.0.0.0\", ssrc 0, cid \"AB\" } }"}));
}

// The packet a control wrote last, as the peer reads it.
sig_proto written(testsupport::BoardEmulator& board)
{
    const auto payloads = testsupport::device_entries(board, ext, "payload");
    EXPECT_EQ(payloads.size(), 1u);
    sig_proto record{};
    if (payloads.empty())
        return record;
    const std::string& fields = payloads.back().fields;
    std::vector<uint8_t> bytes;
    for (size_t at = fields.find("bytes=") + 6; at + 1 < fields.size() && isxdigit(fields[at]); at += 2)
        bytes.push_back(uint8_t(std::stoul(fields.substr(at, 2), nullptr, 16)));
    EXPECT_EQ(sig_proto_unpack(&record, bytes.data(), int(bytes.size())), 0) << fields;
    return record;
}

TEST_F(LemzControlTest, EachRadioCommandLeavesAsItsPacketTypeAndComesBackFromItUnchanged)
{
    const std::string header = flags(3, true).replace(flags(3, true).find("bss FALSE"), 9, "bss TRUE");
    const std::string full = "{ prio 3, ptt TRUE, bss FALSE, vad-rx TRUE, vad-tx FALSE, sql TRUE, sh FALSE, pwr TRUE, "
                             "rv FALSE, resv TRUE, selcall 2, li 300 }";
    // The command's parameters, the packet type it becomes, and what comes back when it differs.
    const std::tuple<std::string, uint32_t, std::string> rows[] = {
        {"gw-set-flags : { flags " + full + " }", GW_FLAG, ""},
        {"gw-set-freq : { freq { channel 3, frequency \"145.500000\" } }", GW_ADJUST_CHAN, ""},
        {"gw-set-ptt : { flags " + full + " }", GW_FLAG_PTT, ""},
        {"gw-set-bss : { flags " + full + " }", GW_FLAG_BSS, ""},
        {"gw-set-sh : { flags " + full + " }", GW_FLAG_SH, ""},
        {"gw-set-pwr : { flags " + full + " }", GW_FLAG_PW, ""},
        {"gw-set-rv : { flags " + full + " }", GW_FLAG_RV, ""},
        {"gw-set-resv : { flags " + full + " }", GW_FLAG_RS, ""},
        // The packet carries the caller ID only.
        {"gw-set-selcall : { flags " + full + ", ip \"10.0.0.5\", ssrc 9, cid \"AB\" }", GW_SEL_CALL,
         "gw-set-selcall : { flags " + full + ", ip \"0.0.0.0\", ssrc 0, cid \"AB\" }"},
        {"gw-set-remote : { remote { no 4, ch 6 } }", GW_SELECT_RC_CHAN, ""},
        {"gw-set-squelshe : { squelshe persent_1 }", GW_ADJUST_SQUELSHE, ""},
        {"gw-set-rte : { rte h3e }", GW_ADJUST_RTE, ""},
        {"gw-set-standby : { state standby }", GW_ADJUST_STANDBY, ""},
        {"wm-flags : { flags " + full + " }", WM_FLAG, ""},
        {"wm-trans : { flags " + full + ", ip \"10.0.0.5\", ssrc 9 }", WM_TRANS, ""},
        {"wm-quality : { bss-val \"0.750000\" }", WM_RADIO_QUALITY, ""},
        {"wm-chan : { freq { channel 3, frequency \"145.500000\" }, squelshe on, rte a1b }", WM_CHAN, ""},
        {"wm-selcall : { flags " + full + ", ip \"10.0.0.5\", ssrc 9, cid \"AB\" }", WM_SEL_CALL_TRANS, ""},
        {"wm-remote : { remote { no 4, ch 6 } }", WM_SELECT_RC_CHAN, ""},
        {"wm-standby : { state-channel active, group 7, state-receiver standby }", WM_STANDBY, ""},
    };
    for (const auto& [params, type, back] : rows) {
        // Commands to a gateway go out from the workstation side, reports from the gateway side.
        std::unique_ptr<LemzRadioControl> sender;
        if (type < WM_FLAG)
            sender = std::make_unique<LemzRadioWSControl>(init);
        else
            sender = std::make_unique<LemzRadioGWControl>(init);
        board.clear_journal();
        EXPECT_TRUE(sender->SendASNToChan(command(params))) << params;
        sig_proto record = written(board);
        EXPECT_EQ(record.type, type) << params;
        // Read back by a control that accepts every packet.
        LemzRadioWSControl receiver(init);
        Reports reports;
        receiver.SetNotify(&reports);
        record.source_addr = inet_addr("10.0.0.9"), record.source_ssrc = 77;
        receiver.OnRtpProtoRXEvent(record);
        EXPECT_EQ(reports.requests, Strings{"lemz : { addr { session-addr \"10.0.0.9\", session-ssrc 77 }, params " +
                                            testsupport::collapse(back.empty() ? params : back) + " }"});
    }
}

TEST_F(LemzControlTest, ACommandASideDoesNotSendStillMergesAndTheTraceShowsBothDirections)
{
    LemzRadioWSControl workstation(init);
    LemzRadioGWControl gateway(init);
    Reports reports;
    gateway.SetNotify(&reports);
    gateway.SetTrace(true), workstation.SetTrace(true);
    // The squelch follows the commanded status.
    EXPECT_FALSE(gateway.GetSQU());
    reactortest::CaptureStream debug(std::clog);
    const std::string squelched = "lemz : { flags { prio 5, ptt FALSE, bss FALSE, vad-rx FALSE, vad-tx FALSE, sql TRUE, "
                                  "sh FALSE, pwr FALSE, rv FALSE, resv FALSE, selcall 0, li 0 }, freq { channel 3, "
                                  "frequency \"145.5\" }, remote { no 1, ch 2 }, squelshe on, rte h3e, "
                                  "standby-state-channel active, standby-group 7, standby-state-receiver standby }";
    EXPECT_TRUE(gateway.SendASNToChan(read<TERM::RadioStatus>(squelched)));
    EXPECT_TRUE(gateway.GetSQU());
    // A report given to the workstation side, a command given to the gateway side: nothing goes out.
    board.clear_journal();
    EXPECT_TRUE(workstation.SendASNToChan(command("wm-remote : { remote { no 4, ch 6 } }")));
    EXPECT_TRUE(gateway.SendASNToChan(command("gw-set-remote : { remote { no 4, ch 6 } }")));
    EXPECT_EQ(sent(), "");
    // The workstation's status is not sent either, and a packet of another protocol's type is not
    // a command of this one.
    EXPECT_TRUE(workstation.SendASNToChan(status(false)));
    EXPECT_FALSE(workstation.SendASNToChan(read<TERM::RadioModifier>(
        "ed-137 : { addr { session-addr \"10.0.0.9\", session-ssrc 1 }, params rx : { header { ptt ptt-off, squ squ-off, "
        "ptt-id 0, ptt-mute FALSE, ptt-summation FALSE, sct FALSE } } }")));
    EXPECT_EQ(sent(), "");
    sig_proto remote = packet(WM_SELECT_RC_CHAN, 0, 0, "10.0.0.9");
    sig_proto_set_wm_select_rc_chan(&remote, 4, 6);
    gateway.OnRtpProtoRXEvent(remote);
    ASSERT_EQ(reports.requests.size(), 1u);
    const std::string text = debug.text();
    for (const char* line : {"command=0x0 receive extension from controller: ", "command=0xa receive extension from controller: ",
                             "command=0x86 receive extension from controller: ", "command=0x86 send extension to controller: "})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
}

}  // namespace
