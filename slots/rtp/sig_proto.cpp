#include "slots/rtp/sig_proto.h"

#include "foundation/os/big_endian.h"

#include <algorithm>
#include <cstring>

const s_sig_proto_table_name sig_proto_packet_const_name[sig_proto_name_rows] = {
    {GW_FLAG, "GW_FLAG"},
    {GW_ADJUST_CHAN, "GW_ADJUST_CHAN"},
    {GW_FLAG_PTT, "GW_FLAG_PTT"},
    {GW_FLAG_BSS, "GW_FLAG_BSS"},
    {GW_FLAG_RV, "GW_FLAG_RV"},
    {GW_FLAG_SH, "GW_FLAG_SH"},
    {GW_FLAG_PW, "GW_FLAG_PW"},
    {GW_FLAG_RS, "GW_FLAG_RS"},
    {GW_SEL_CALL, "GW_SEL_CALL"},
    {GW_SELECT_RC_CHAN, "GW_SELECT_RC_CHAN"},
    {GW_ADJUST_SQUELSHE, "GW_ADJUST_SQUELSHE"},
    {GW_ADJUST_RTE, "GW_ADJUST_RTE"},
    {GW_ADJUST_STANDBY, "GW_ADJUST_STANDBY"},
    {WM_FLAG, "WM_FLAG"},
    {WM_TRANS, "WM_TRANS"},
    {WM_RADIO_QUALITY, "WM_RADIO_QUALITY"},
    {WM_CHAN, "WM_CHAN"},
    {WM_SEL_CALL_TRANS, "WM_SEL_CALL_TRANS"},
    {WM_SELECT_RC_CHAN, "WM_SELECT_RC_CHAN"},
    {WM_STANDBY, "WM_STANDBY"},
    {-1, ""},
};

const uint32_t init_sig_proto_type[17] = {
    GW_FLAG, GW_FLAG_PTT, GW_FLAG_BSS, GW_FLAG_RV, GW_FLAG_SH, GW_FLAG_PW, GW_FLAG_RS, GW_ADJUST_CHAN, GW_SEL_CALL,
    GW_SELECT_RC_CHAN, GW_ADJUST_STANDBY, WM_FLAG, WM_TRANS, WM_CHAN, WM_RADIO_QUALITY, WM_SEL_CALL_TRANS, WM_STANDBY};

namespace {

constexpr int header_size = 4;

// The offsets of a caller ID's length octet in the two packets that carry one.
constexpr int sel_call_length_at = 4;
constexpr int sel_call_trans_length_at = 12;

bool known_type(uint32_t type)
{
    return type <= 0xFF && sig_proto_find_name_by_id(sig_proto_packet_const_name, int(type)) != nullptr;
}

// The least buffer the type packs into, for a caller ID of n octets.
int min_buffer(uint32_t type, int n)
{
    switch (type) {
    case GW_ADJUST_CHAN:
    case WM_TRANS: return 12;
    case GW_SEL_CALL: return n + 12;
    case GW_SELECT_RC_CHAN:
    case GW_ADJUST_SQUELSHE:
    case GW_ADJUST_RTE:
    case GW_ADJUST_STANDBY:
    case WM_RADIO_QUALITY:
    case WM_SELECT_RC_CHAN:
    case WM_STANDBY: return 8;
    case WM_CHAN: return 16;
    case WM_SEL_CALL_TRANS: return n + 20;
    default: return header_size;
    }
}

// The least payload the type's fixed part needs.
int min_payload(uint32_t type)
{
    switch (type) {
    case GW_SEL_CALL: return sel_call_length_at + 1;
    case WM_SEL_CALL_TRANS: return sel_call_trans_length_at + 1;
    default: return min_buffer(type, 0);
    }
}

int padded(int length) { return (length + 3) & ~3; }

// The address travels with the last number of the dotted text first.
void put_address(uint8_t* at, in_addr address)
{
    const auto* octets = reinterpret_cast<const uint8_t*>(&address.s_addr);
    std::reverse_copy(octets, octets + 4, at);
}

in_addr get_address(const uint8_t* at)
{
    in_addr address;
    std::reverse_copy(at, at + 4, reinterpret_cast<uint8_t*>(&address.s_addr));
    return address;
}

// Clears the caller ID and copies at most all but its last character of the text.
void set_caller_id(char (&caller_id)[sig_proto_caller_id_size], uint8_t& stored_length, const char* text,
                   uint8_t length)
{
    std::memset(caller_id, 0, sizeof caller_id);
    stored_length = 0;
    if (!text)
        return;
    std::strncpy(caller_id, text, sizeof caller_id - 1);
    stored_length = length;
}

// Writes one member of the body.
template <class Member>
int set_body(sig_proto* record, Member sig_proto::Body::*member, const Member& value)
{
    if (record)
        record->body.*member = value;
    return 0;
}

}  // namespace

int sig_proto_pack(const sig_proto* record, uint8_t* buffer, int length)
{
    if (!record || !buffer)
        return 0;
    if (length < header_size)
        return SIG_PROTO_SHORT;
    std::memset(buffer, 0, size_t(length));
    buffer[0] = uint8_t(record->type);
    buffer[1] = uint8_t((record->priority & 0xF) << 4 | (record->flag_t & 1) << 3 | (record->flag_p & 1) << 2 |
                        (record->flag_r & 1) << 1 | (record->flag_s & 1));
    buffer[2] = uint8_t((record->flag_b & 1) << 7 | (record->flag_rv & 1) << 6 | (record->flag_sh & 1) << 5 |
                        (record->flag_pw & 1) << 4 | (record->status >> 5 & 0xF));
    buffer[3] = uint8_t((record->status & 0x1F) << 3 | (record->flag_c & 3) << 1 | (record->flag_rs & 1));

    // The whole type decides the body: one beyond the table packs its header alone.
    const uint32_t type = record->type;
    const sig_proto::Body& body = record->body;
    const int n = type == GW_SEL_CALL ? body.gw_sel_call.callerID_length
        : type == WM_SEL_CALL_TRANS   ? body.wm_sel_call_trans.callerID_length
                                      : 0;
    if (length < min_buffer(type, n))
        return SIG_PROTO_SHORT;
    switch (type) {
    case GW_ADJUST_CHAN:
        BigEndian::put_u32(buffer, 4, body.gw_adjust_chan.id);
        BigEndian::put_float(buffer, 8, body.gw_adjust_chan.freq);
        return 12;
    case GW_SEL_CALL:
        buffer[sel_call_length_at] = uint8_t(n);
        std::memcpy(buffer + sel_call_length_at + 1, body.gw_sel_call.callerID, size_t(n));
        return padded(sel_call_length_at + 1 + n);
    case GW_SELECT_RC_CHAN:
    case WM_SELECT_RC_CHAN:
        // The two members share their layout.
        buffer[4] = body.gw_select_rc_chan.interface;
        buffer[5] = body.gw_select_rc_chan.channel;
        return 8;
    case GW_ADJUST_SQUELSHE: buffer[4] = body.gw_adjust_squelsh.squelsh; return 8;
    case GW_ADJUST_RTE: buffer[4] = body.gw_adjust_rte.rte; return 8;
    case GW_ADJUST_STANDBY: buffer[4] = body.gw_adjust_standby.state; return 8;
    case WM_TRANS:
        put_address(buffer + 4, body.wm_trans.session_addr);
        BigEndian::put_u32(buffer, 8, body.wm_trans.ssrc);
        return 12;
    case WM_RADIO_QUALITY: BigEndian::put_float(buffer, 4, body.wm_radio_quality.radio_quality); return 8;
    case WM_CHAN:
        BigEndian::put_u32(buffer, 4, body.wm_chan.id);
        BigEndian::put_float(buffer, 8, body.wm_chan.freq);
        buffer[12] = body.wm_chan.squelsh;
        buffer[13] = body.wm_chan.rte;
        return 16;
    case WM_SEL_CALL_TRANS:
        put_address(buffer + 4, body.wm_sel_call_trans.session_addr);
        BigEndian::put_u32(buffer, 8, body.wm_sel_call_trans.ssrc);
        buffer[sel_call_trans_length_at] = uint8_t(n);
        std::memcpy(buffer + sel_call_trans_length_at + 1, body.wm_sel_call_trans.callerID, size_t(n));
        return padded(sel_call_trans_length_at + 1 + n);
    case WM_STANDBY:
        buffer[4] = body.wm_standby.state;
        buffer[5] = body.wm_standby.group;
        buffer[6] = body.wm_standby.receiver_state;
        return 8;
    default: return header_size;
    }
}

int sig_proto_unpack(sig_proto* record, const uint8_t* payload, int length)
{
    if (!record || !payload)
        return SIG_PROTO_MISSING;
    if (length < header_size)
        return SIG_PROTO_SHORT;
    const uint32_t type = payload[0];
    if (!known_type(type)) {
        record->type = type;
        return SIG_PROTO_UNKNOWN_TYPE;
    }
    if (length < min_payload(type))
        return SIG_PROTO_SHORT;
    if ((type == GW_SEL_CALL && length < sel_call_length_at + 1 + payload[sel_call_length_at]) ||
        (type == WM_SEL_CALL_TRANS && length < sel_call_trans_length_at + 1 + payload[sel_call_trans_length_at]))
        return SIG_PROTO_SHORT;

    sig_proto::Body body = record->body;
    switch (type) {
    case GW_ADJUST_CHAN:
        body.gw_adjust_chan.id = BigEndian::get_u32(payload, 4);
        body.gw_adjust_chan.freq = BigEndian::get_float(payload, 8);
        break;
    case GW_SEL_CALL:
        body.gw_sel_call.callerID_length = payload[sel_call_length_at];
        std::memcpy(body.gw_sel_call.callerID, payload + sel_call_length_at + 1, payload[sel_call_length_at]);
        break;
    case GW_SELECT_RC_CHAN:
    case WM_SELECT_RC_CHAN:
        body.gw_select_rc_chan.interface = payload[4];
        body.gw_select_rc_chan.channel = payload[5];
        break;
    case GW_ADJUST_SQUELSHE: body.gw_adjust_squelsh.squelsh = payload[4]; break;
    case GW_ADJUST_RTE: body.gw_adjust_rte.rte = payload[4]; break;
    case GW_ADJUST_STANDBY: body.gw_adjust_standby.state = payload[4]; break;
    case WM_TRANS:
        body.wm_trans.session_addr = get_address(payload + 4);
        body.wm_trans.ssrc = BigEndian::get_u32(payload, 8);
        break;
    case WM_RADIO_QUALITY: body.wm_radio_quality.radio_quality = BigEndian::get_float(payload, 4); break;
    case WM_CHAN:
        body.wm_chan.id = BigEndian::get_u32(payload, 4);
        body.wm_chan.freq = BigEndian::get_float(payload, 8);
        body.wm_chan.squelsh = payload[12];
        body.wm_chan.rte = payload[13];
        break;
    case WM_SEL_CALL_TRANS:
        body.wm_sel_call_trans.session_addr = get_address(payload + 4);
        body.wm_sel_call_trans.ssrc = BigEndian::get_u32(payload, 8);
        body.wm_sel_call_trans.callerID_length = payload[sel_call_trans_length_at];
        std::memcpy(body.wm_sel_call_trans.callerID, payload + sel_call_trans_length_at + 1,
                    payload[sel_call_trans_length_at]);
        break;
    case WM_STANDBY:
        body.wm_standby.state = payload[4];
        body.wm_standby.group = payload[5];
        body.wm_standby.receiver_state = payload[6];
        break;
    default: break;
    }

    record->type = type;
    record->priority = payload[1] >> 4;
    record->flag_t = payload[1] >> 3 & 1;
    record->flag_p = payload[1] >> 2 & 1;
    record->flag_r = payload[1] >> 1 & 1;
    record->flag_s = payload[1] & 1;
    record->flag_b = payload[2] >> 7;
    record->flag_rv = payload[2] >> 6 & 1;
    record->flag_sh = payload[2] >> 5 & 1;
    record->flag_pw = payload[2] >> 4 & 1;
    record->status = uint32_t(payload[2] & 0xF) << 5 | payload[3] >> 3;
    record->flag_c = payload[3] >> 1 & 3;
    record->flag_rs = payload[3] & 1;
    record->body = body;
    return 0;
}

int sig_proto_init(sig_proto* record)
{
    if (record)
        std::memset(record, 0, sizeof *record);
    return 0;
}

int sig_proto_set_base(sig_proto* record, int priority, int flag_t, int flag_p, int flag_r, int flag_s, int flag_b,
                       int flag_rv, int flag_sh, int flag_pw, int flag_rs, int flag_c, int status)
{
    if (!record)
        return 0;
    const std::pair<int, uint32_t*> fields[] = {
        {priority, &record->priority}, {flag_t, &record->flag_t},   {flag_p, &record->flag_p},
        {flag_r, &record->flag_r},     {flag_s, &record->flag_s},   {flag_b, &record->flag_b},
        {flag_rv, &record->flag_rv},   {flag_sh, &record->flag_sh}, {flag_pw, &record->flag_pw},
        {flag_rs, &record->flag_rs},   {flag_c, &record->flag_c},   {status, &record->status}};
    for (const auto& [value, field] : fields)
        if (value >= 0)
            *field = uint32_t(value);
    return 0;
}

int sig_proto_set_ptt(sig_proto* record, int ptt)
{
    if (record && ptt >= 0)
        record->flag_p = uint32_t(ptt);
    return 0;
}

int sig_proto_set_gw_adjust_chan(sig_proto* record, unsigned id, float freq)
{
    return set_body(record, &sig_proto::Body::gw_adjust_chan, {id, freq});
}

int sig_proto_set_gw_adjust_squelsh(sig_proto* record, uint8_t squelsh)
{
    return set_body(record, &sig_proto::Body::gw_adjust_squelsh, {squelsh});
}

int sig_proto_set_gw_adjust_rte(sig_proto* record, uint8_t rte)
{
    return set_body(record, &sig_proto::Body::gw_adjust_rte, {rte});
}

int sig_proto_set_gw_adjust_standby(sig_proto* record, uint8_t state)
{
    return set_body(record, &sig_proto::Body::gw_adjust_standby, {state});
}

int sig_proto_set_gw_selcall(sig_proto* record, const char* text, uint8_t length)
{
    if (record)
        set_caller_id(record->body.gw_sel_call.callerID, record->body.gw_sel_call.callerID_length, text, length);
    return 0;
}

int sig_proto_set_gw_select_rc_chan(sig_proto* record, uint8_t interface, uint8_t channel)
{
    return set_body(record, &sig_proto::Body::gw_select_rc_chan, {interface, channel});
}

int sig_proto_set_wm_select_rc_chan(sig_proto* record, uint8_t interface, uint8_t channel)
{
    return set_body(record, &sig_proto::Body::wm_select_rc_chan, {interface, channel});
}

int sig_proto_set_wm_radio_quality(sig_proto* record, float quality)
{
    return set_body(record, &sig_proto::Body::wm_radio_quality, {quality});
}

int sig_proto_set_wm_transmite(sig_proto* record, in_addr address, unsigned ssrc)
{
    return set_body(record, &sig_proto::Body::wm_trans, {address, ssrc});
}

int sig_proto_set_wm_selcall_transmite(sig_proto* record, in_addr address, unsigned ssrc, const char* text,
                                       uint8_t length)
{
    if (!record)
        return 0;
    sig_proto::sel_call_trans& body = record->body.wm_sel_call_trans;
    body.session_addr = address;
    body.ssrc = ssrc;
    set_caller_id(body.callerID, body.callerID_length, text, length);
    return 0;
}

int sig_proto_set_wm_chan(sig_proto* record, unsigned id, float freq, uint8_t squelsh, uint8_t rte)
{
    return set_body(record, &sig_proto::Body::wm_chan, {id, freq, squelsh, rte});
}

int sig_proto_set_wm_standby(sig_proto* record, uint8_t state, uint8_t group, uint8_t receiver_state)
{
    return set_body(record, &sig_proto::Body::wm_standby, {state, group, receiver_state});
}

int sig_proto_is_ptt_command(const sig_proto* record)
{
    if (!record)
        return 0;
    switch (record->type) {
    case GW_FLAG:
    case GW_FLAG_PTT:
    case GW_SEL_CALL:
    case WM_FLAG:
    case WM_TRANS:
    case WM_SEL_CALL_TRANS: return 1;
    default: return 0;
    }
}

const char* sig_proto_find_name_by_id(const s_sig_proto_table_name* table, int id)
{
    for (unsigned row = 0; table && row < sig_proto_name_rows && table[row].id >= 0; ++row)
        if (table[row].id == id)
            return table[row].name;
    return nullptr;
}

int sig_proto_find_id_by_name(const s_sig_proto_table_name* table, const char* name)
{
    for (unsigned row = 0; table && name && row < sig_proto_name_rows && table[row].id >= 0; ++row)
        if (table[row].name && std::strcmp(table[row].name, name) == 0)
            return table[row].id;
    return -1;
}

int cmp_sig_proto_header(const sig_proto* a, const sig_proto* b)
{
    if (!a || !b)
        return -1;
    for (auto field : {&sig_proto::type, &sig_proto::source_ssrc, &sig_proto::source_addr})
        if (int difference = int(b->*field - a->*field))
            return difference;
    return 0;
}

int init_sig_proto_queue(sig_proto_queue* queue)
{
    if (!queue)
        return 0;
    std::memset(queue, 0, sizeof *queue);
    for (unsigned i = 0; i < 32; ++i)
        queue->records[i].type = i < 17 ? init_sig_proto_type[i] : 0xFFFFFFFF;
    return 0;
}

int is_little_endian()
{
    const uint16_t probe = 1;
    uint8_t first;
    std::memcpy(&first, &probe, 1);
    return first;
}
