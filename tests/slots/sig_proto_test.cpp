// The LEMZ packet codec: golden packets, the round trip of every type, the refusals, the printers'
// lines and the type names.

#include "slots/rtp/sig_proto_print.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Fill = std::function<void(sig_proto&)>;

sig_proto record(uint32_t type, const Fill& fill = [](sig_proto&) {})
{
    sig_proto made{};
    made.type = type;
    fill(made);
    return made;
}

std::vector<uint8_t> bytes(const std::string& hex)
{
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(uint8_t(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

const in_addr address = {inet_addr("10.1.2.3")};

TEST(SigProto, EachTypePacksToItsWireFormReadsBackAndPrintsItsFieldLines)
{
    const std::tuple<uint32_t, Fill, std::string, std::string> rows[] = {
        {GW_FLAG, [](sig_proto& r) { sig_proto_set_base(&r, 15, 0, 1, 0, 0, 0, 0, 0, 0, 0, 3, 511); }, "01F40FFE", ""},
        {GW_ADJUST_CHAN, [](sig_proto& r) { sig_proto_set_gw_adjust_chan(&r, 7, 145.5f); }, "020000000000000743118000",
         "gw_adjust_chan.id   : 7,\ngw_adjust_chan.freq : 145.5000,\n"},
        {GW_SEL_CALL, [](sig_proto& r) { sig_proto_set_gw_selcall(&r, "AB", 2); }, "0900000002414200",
         "gw_sel_call.callerID_length: 2,\ngw_sel_call.callerID : \n[0] : 0x41,\n[1] : 0x42,\n"},
        {GW_SEL_CALL, [](sig_proto& r) { sig_proto_set_gw_selcall(&r, "abc", 3); }, "0900000003616263", ""},
        {GW_SEL_CALL, [](sig_proto& r) { sig_proto_set_gw_selcall(&r, "abcd", 4); }, "090000000461626364000000", ""},
        {GW_SELECT_RC_CHAN, [](sig_proto& r) { sig_proto_set_gw_select_rc_chan(&r, 3, 4); }, "0A00000003040000",
         "gw_select_rc_chan.interface : 3,\ngw_select_rc_chan.channel   : 4,\n"},
        {GW_ADJUST_SQUELSHE, [](sig_proto& r) { sig_proto_set_gw_adjust_squelsh(&r, 9); }, "0B00000009000000",
         "gw_adjust_squelsh.squelsh   : 9,\n"},
        {GW_ADJUST_RTE, [](sig_proto& r) { sig_proto_set_gw_adjust_rte(&r, 5); }, "0C00000005000000",
         "gw_adjust_rte.rte   : 5,\n"},
        {GW_ADJUST_STANDBY, [](sig_proto& r) { sig_proto_set_gw_adjust_standby(&r, 1); }, "0D00000001000000",
         "gw_adjust_standby.state   : 1,\n"},
        {WM_TRANS, [](sig_proto& r) { sig_proto_set_wm_transmite(&r, address, 5); }, "820000000302010A00000005",
         "wm_trans.session_addr : 10.1.2.3,\nwm_trans.ssrc         : 0x00000005,\n"},
        {WM_RADIO_QUALITY, [](sig_proto& r) { sig_proto_set_wm_radio_quality(&r, 0.25f); }, "830000003E800000",
         "wm_radio_quality.radio_quality : 0.25000,\n"},
        {WM_CHAN, [](sig_proto& r) { sig_proto_set_wm_chan(&r, 3, 145.5f, 2, 5); }, "84000000000000034311800002050000",
         "wm_chan.id   : 3,\nwm_chan.freq : 145.5000,\nwm_chan.squelsh : 2,\nwm_chan.rte     : 5,\n"},
        {WM_SEL_CALL_TRANS, [](sig_proto& r) { sig_proto_set_wm_selcall_transmite(&r, address, 5, "ab", 2); },
         "850000000302010A0000000502616200",
         "wm_sel_call_trans.session_addr : 10.1.2.3,\nwm_sel_call_trans.ssrc         : 0x00000005,\n"
         "wm_sel_call_trans.callerID_length: 2,\nwm_sel_call_trans.callerID : \n[0] : 0x61,\n[1] : 0x62,\n"},
        {WM_SELECT_RC_CHAN, [](sig_proto& r) { sig_proto_set_wm_select_rc_chan(&r, 1, 2); }, "8600000001020000",
         "wm_select_rc_chan.interface : 1,\nwm_select_rc_chan.channel   : 2,\n"},
        {WM_STANDBY, [](sig_proto& r) { sig_proto_set_wm_standby(&r, 1, 7, 0); }, "8700000001070000",
         "wm_standby.state           : 1,\nwm_standby.group           : 7,\nwm_standby.receiver_state  : 0,\n"},
        // Each field masked to its width; a type outside the table packs its header alone.
        {14, [](sig_proto& r) { sig_proto_set_base(&r, 17, 3, 1, 1, 1, 1, 1, 1, 1, 1, 5, 0x201); }, "0E1FF00B", ""}};
    for (const auto& [type, fill, wire, lines] : rows) {
        const sig_proto packet = record(type, fill);
        uint8_t buffer[64];
        const int length = sig_proto_pack(&packet, buffer, sizeof buffer);
        EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + std::max(length, 0)), bytes(wire)) << wire;
        sig_proto back = record(0);
        const bool known = type != 14;
        EXPECT_EQ(sig_proto_unpack(&back, buffer, length), known ? 0 : SIG_PROTO_UNKNOWN_TYPE) << wire;
        EXPECT_TRUE(!known || cmp_sig_proto(&packet, &back) == 0) << wire;
        char text[512];
        const std::string printed(text, size_t(sprintf_sig_proto(text, sizeof text, &packet, 3)));
        EXPECT_TRUE(lines.empty() || printed.substr(printed.find('\n', printed.find("status   :")) + 1) == lines)
            << printed;
    }
}

TEST(SigProto, EveryTypeSurvivesTheRoundTripWithAllItsFields)
{
    for (const s_sig_proto_table_name* row = sig_proto_packet_const_name; row->id >= 0; ++row) {
        sig_proto packet = record(uint32_t(row->id), [](sig_proto& r) {
            sig_proto_set_base(&r, 9, 1, 0, 1, 0, 1, 0, 1, 0, 1, 2, 0x155);
            std::memset(&r.body, 0x5A, sizeof r.body);
        });
        uint8_t buffer[1024], again[1024];
        const int length = sig_proto_pack(&packet, buffer, sizeof buffer);
        sig_proto back = record(0);
        ASSERT_EQ(sig_proto_unpack(&back, buffer, length), 0) << row->name;
        EXPECT_EQ(cmp_sig_proto(&packet, &back), 0) << row->name;
        EXPECT_EQ(sig_proto_pack(&back, again, sizeof again), length) << row->name;
        EXPECT_EQ(std::memcmp(again, buffer, size_t(length)), 0) << row->name;
    }
}

TEST(SigProto, ShortBuffersAndPayloadsAndUnknownTypesAreRefused)
{
    sig_proto call = record(GW_SEL_CALL, [](sig_proto& r) { sig_proto_set_gw_selcall(&r, "abc", 3); });
    uint8_t buffer[15] = {};
    EXPECT_EQ(sig_proto_pack(&call, buffer, 14), SIG_PROTO_SHORT);
    EXPECT_EQ(sig_proto_pack(&call, buffer, 3), SIG_PROTO_SHORT);
    EXPECT_EQ(sig_proto_pack(nullptr, buffer, 15), 0);

    const std::pair<std::string, int> payloads[] = {
        {"810000", SIG_PROTO_SHORT},          {"00000000", SIG_PROTO_UNKNOWN_TYPE},
        {"0E000000", SIG_PROTO_UNKNOWN_TYPE}, {"8400000000000003431180000205", SIG_PROTO_SHORT},
        {"0900000003616263", 0},              {"0900000004616263", SIG_PROTO_SHORT},
        {"850000000302010A00", SIG_PROTO_SHORT}};
    for (const auto& [payload, result] : payloads) {
        sig_proto held = record(WM_CHAN, [](sig_proto& r) { sig_proto_set_wm_chan(&r, 3, 1.0f, 2, 5); });
        const sig_proto before = held;
        const std::vector<uint8_t> octets = bytes(payload);
        ASSERT_EQ(sig_proto_unpack(&held, octets.data(), int(octets.size())), result) << payload;
        if (result == 0)
            continue;
        // Only an unknown type is kept; nothing else changes on a refusal.
        EXPECT_EQ(held.type, result == SIG_PROTO_UNKNOWN_TYPE ? octets[0] : before.type) << payload;
        held.type = before.type;
        EXPECT_EQ(std::memcmp(&held, &before, sizeof held), 0) << payload;
    }
    EXPECT_EQ(sig_proto_unpack(nullptr, buffer, 8), SIG_PROTO_MISSING);

    // A one-octet body changes the first body octet alone.
    sig_proto chan = record(WM_CHAN, [](sig_proto& r) { sig_proto_set_wm_chan(&r, 0x11223344, 2.0f, 9, 8); });
    sig_proto::Body body = chan.body;
    const uint8_t rte[] = {GW_ADJUST_RTE, 0, 0, 0, 7, 0, 0, 0};
    ASSERT_EQ(sig_proto_unpack(&chan, rte, sizeof rte), 0);
    reinterpret_cast<uint8_t*>(&body)[0] = 7;
    EXPECT_EQ(std::memcmp(&chan.body, &body, sizeof body), 0);
}

TEST(SigProto, TheBaseLinesFollowTheMode)
{
    const std::string flags = "flag_t   : 0,\nflag_p   : 1,\nflag_r   : 0,\nflag_s   : 0,\nflag_b   : 0,\n"
                              "flag_rv  : 0,\nflag_sh  : 0,\nflag_rs  : 0,\nflag_pw  : 0,\nflag_c   : 3,\n";
    const std::string rest = "priority : 4,\nstatus   : 300,\n";
    const std::tuple<uint32_t, int, std::string> rows[] = {
        {GW_FLAG, 0, flags + rest},
        {GW_FLAG, 1, "type      : 0x00000001,\n" + flags + rest},
        {GW_FLAG, 2, "type      : GW_FLAG,\n" + flags + rest},
        {GW_FLAG, 6, "type      : GW_FLAG,\n" + flags},
        {14, 2, "type      : 0x0000000E,\n" + flags + rest}};
    const Fill header = [](sig_proto& r) { sig_proto_set_base(&r, 4, 0, 1, 0, 0, 0, 0, 0, 0, 0, 3, 300); };
    char text[512];
    for (const auto& [type, mode, printed] : rows) {
        const sig_proto packet = record(type, header);
        EXPECT_EQ(sprintf_base(text, sizeof text, &packet, mode), int(printed.size()));
        EXPECT_EQ(text, printed);
        // Cut off at the buffer's end.
        EXPECT_EQ(sprintf_base(text, 6, &packet, mode), 5);
        EXPECT_EQ(text, printed.substr(0, 5));
    }
    // A type without a printer prints nothing.
    const sig_proto odd = record(14);
    EXPECT_EQ(sprintf_sig_proto(text, sizeof text, &odd, 1), 0);
}

TEST(SigProto, NamesComparisonsAndTheQueueSeeds)
{
    EXPECT_EQ(sig_proto_find_id_by_name(sig_proto_packet_const_name, "WM_CHAN"), 132);
    EXPECT_EQ(sig_proto_find_id_by_name(sig_proto_packet_const_name, ""), -1);
    EXPECT_STREQ(sig_proto_find_name_by_id(sig_proto_packet_const_name, 135), "WM_STANDBY");
    EXPECT_EQ(sig_proto_find_name_by_id(sig_proto_packet_const_name, 14), nullptr);

    sig_proto a = record(GW_FLAG_PTT), b = a;
    b.priority = 3;
    b.body.wm_chan.id = 1;
    EXPECT_EQ(cmp_sig_proto_flags(&a, &b), 0);
    EXPECT_EQ(cmp_sig_proto_header(&a, &b), 0);
    EXPECT_NE(cmp_sig_proto(&a, &b), 0);
    const std::pair<uint32_t sig_proto::*, int> header[] = {
        {&sig_proto::type, 2}, {&sig_proto::source_ssrc, 2}, {&sig_proto::source_addr, 2}, {&sig_proto::flag_t, 0}};
    for (auto [field, difference] : header) {
        b = a;
        b.*field += 2;
        EXPECT_EQ(cmp_sig_proto_header(&a, &b), difference);
    }
    EXPECT_EQ(cmp_sig_proto_flags(&a, nullptr), -1);

    static sig_proto_queue queue;
    init_sig_proto_queue(&queue);
    EXPECT_EQ(queue.records[0].type, uint32_t(GW_FLAG));
    EXPECT_EQ(queue.records[16].type, uint32_t(WM_STANDBY));
    EXPECT_EQ(queue.records[17].type, 0xFFFFFFFFu);
    EXPECT_EQ(sig_proto_is_ptt_command(&queue.records[12]) + sig_proto_is_ptt_command(&queue.records[13]), 1);
}

}  // namespace
