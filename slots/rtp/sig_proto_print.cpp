#include "slots/rtp/sig_proto_print.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <cstring>

namespace {

constexpr int mode_type_number = 1;
constexpr int mode_type_name = 2;
constexpr int mode_flags_only = 4;

// The texts compared are at most this long.
constexpr long compare_size = 8192;

// Lines appended to a cleared buffer, cut off at its end.
class Text {
public:
    Text(char* buffer, long size) : buffer_(buffer), size_(size) { std::memset(buffer, 0, size_t(size)); }

    template <class... Values>
    void add(const char* format, Values... values)
    {
        if (used_ >= size_ - 1)
            return;
        int n = std::snprintf(buffer_ + used_, size_t(size_ - used_), format, values...);
        if (n > 0)
            used_ = std::min(size_ - 1, used_ + n);
    }
    int length() const { return int(used_); }

private:
    char* buffer_;
    long size_;
    long used_ = 0;
};

unsigned long number(uint32_t value) { return value; }

void add_base(Text& text, const sig_proto& record, int mode)
{
    const char* name = sig_proto_find_name_by_id(sig_proto_packet_const_name, int(record.type));
    if ((mode & mode_type_name) && name)
        text.add("type      : %s,\n", name);
    else if (mode & (mode_type_name | mode_type_number))
        text.add("type      : 0x%08lX,\n", number(record.type));
    const std::pair<const char*, uint32_t> flags[] = {
        {"flag_t   : %lu,\n", record.flag_t},   {"flag_p   : %lu,\n", record.flag_p},
        {"flag_r   : %lu,\n", record.flag_r},   {"flag_s   : %lu,\n", record.flag_s},
        {"flag_b   : %lu,\n", record.flag_b},   {"flag_rv  : %lu,\n", record.flag_rv},
        {"flag_sh  : %lu,\n", record.flag_sh},  {"flag_rs  : %lu,\n", record.flag_rs},
        {"flag_pw  : %lu,\n", record.flag_pw},  {"flag_c   : %lu,\n", record.flag_c}};
    for (const auto& [format, value] : flags)
        text.add(format, number(value));
    if (mode & mode_flags_only)
        return;
    text.add("priority : %lu,\n", number(record.priority));
    text.add("status   : %lu,\n", number(record.status));
}

void add_caller_id(Text& text, const char* prefix, uint8_t length, const char* caller_id)
{
    text.add("%s.callerID_length: %d,\n", prefix, int(length));
    text.add("%s.callerID : \n", prefix);
    for (int i = 0; i < length; ++i)
        text.add("[%d] : 0x%02X,\n", i, unsigned(uint8_t(caller_id[i])));
}

void add_channel(Text& text, const char* prefix, uint32_t id, float freq)
{
    text.add("%s.id   : %lu,\n", prefix, number(id));
    text.add("%s.freq : %4.4f,\n", prefix, double(freq));
}

void add_remote(Text& text, const char* prefix, const sig_proto::select_rc_chan& remote)
{
    text.add("%s.interface : %d,\n", prefix, int(remote.interface));
    text.add("%s.channel   : %d,\n", prefix, int(remote.channel));
}

void add_transmitter(Text& text, const char* prefix, in_addr address, uint32_t ssrc)
{
    text.add("%s.session_addr : %s,\n", prefix, inet_ntoa(address));
    text.add("%s.ssrc         : 0x%08lX,\n", prefix, number(ssrc));
}

// The body lines of the type, whatever the record's own type.
void add_body(Text& text, uint32_t type, const sig_proto::Body& body)
{
    switch (type) {
    case GW_ADJUST_CHAN: add_channel(text, "gw_adjust_chan", body.gw_adjust_chan.id, body.gw_adjust_chan.freq); break;
    case GW_SEL_CALL:
        add_caller_id(text, "gw_sel_call", body.gw_sel_call.callerID_length, body.gw_sel_call.callerID);
        break;
    case GW_SELECT_RC_CHAN: add_remote(text, "gw_select_rc_chan", body.gw_select_rc_chan); break;
    case GW_ADJUST_SQUELSHE:
        text.add("gw_adjust_squelsh.squelsh   : %d,\n", int(body.gw_adjust_squelsh.squelsh));
        break;
    case GW_ADJUST_RTE: text.add("gw_adjust_rte.rte   : %d,\n", int(body.gw_adjust_rte.rte)); break;
    case GW_ADJUST_STANDBY: text.add("gw_adjust_standby.state   : %d,\n", int(body.gw_adjust_standby.state)); break;
    case WM_TRANS: add_transmitter(text, "wm_trans", body.wm_trans.session_addr, body.wm_trans.ssrc); break;
    case WM_RADIO_QUALITY:
        text.add("wm_radio_quality.radio_quality : %4.5f,\n", double(body.wm_radio_quality.radio_quality));
        break;
    case WM_CHAN:
        add_channel(text, "wm_chan", body.wm_chan.id, body.wm_chan.freq);
        text.add("wm_chan.squelsh : %d,\n", int(body.wm_chan.squelsh));
        text.add("wm_chan.rte     : %d,\n", int(body.wm_chan.rte));
        break;
    case WM_SEL_CALL_TRANS: {
        const sig_proto::sel_call_trans& call = body.wm_sel_call_trans;
        add_transmitter(text, "wm_sel_call_trans", call.session_addr, call.ssrc);
        add_caller_id(text, "wm_sel_call_trans", call.callerID_length, call.callerID);
        break;
    }
    case WM_SELECT_RC_CHAN: add_remote(text, "wm_select_rc_chan", body.wm_select_rc_chan); break;
    case WM_STANDBY:
        text.add("wm_standby.state           : %d,\n", int(body.wm_standby.state));
        text.add("wm_standby.group           : %d,\n", int(body.wm_standby.group));
        text.add("wm_standby.receiver_state  : %d,\n", int(body.wm_standby.receiver_state));
        break;
    default: break;
    }
}

// The base lines, then the body lines of the type unless the mode stops after the flags.
int print(char* buffer, long size, const sig_proto* record, int mode, uint32_t type)
{
    if (!buffer || !record || size < 1)
        return 0;
    Text text(buffer, size);
    add_base(text, *record, mode);
    if (!(mode & mode_flags_only))
        add_body(text, type, record->body);
    return text.length();
}

int compare_printed(const sig_proto* a, const sig_proto* b, int mode)
{
    if (!a || !b)
        return -1;
    static char text_a[compare_size], text_b[compare_size];
    const int length_a = sprintf_sig_proto(text_a, compare_size, a, mode);
    const int length_b = sprintf_sig_proto(text_b, compare_size, b, mode);
    if (length_a != length_b)
        return length_b - length_a;
    return std::strncmp(text_a, text_b, size_t(length_a));
}

}  // namespace

const s_sig_proto_table_sprintf sig_proto_sprintf_table[21] = {
    {0, sprintf_base},
    {GW_FLAG, sprintf_base},
    {GW_ADJUST_CHAN, sprintf_gw_adjust_chan},
    {GW_FLAG_PTT, sprintf_base},
    {GW_FLAG_BSS, sprintf_base},
    {GW_FLAG_RV, sprintf_base},
    {GW_FLAG_SH, sprintf_base},
    {GW_FLAG_PW, sprintf_base},
    {GW_FLAG_RS, sprintf_base},
    {GW_SEL_CALL, sprintf_gw_selcall},
    {GW_SELECT_RC_CHAN, sprintf_gw_select_rc_chan},
    {GW_ADJUST_SQUELSHE, sprintf_gw_adjust_squelsh},
    {GW_ADJUST_RTE, sprintf_gw_adjust_rte},
    {GW_ADJUST_STANDBY, sprintf_gw_adjust_standby},
    {WM_FLAG, sprintf_base},
    {WM_TRANS, sprintf_wm_trans},
    {WM_RADIO_QUALITY, sprintf_wm_radio_qulity},
    {WM_CHAN, sprintf_wm_chan},
    {WM_SEL_CALL_TRANS, sprintf_wm_selcall},
    {WM_SELECT_RC_CHAN, sprintf_wm_select_rc_chan},
    {WM_STANDBY, sprintf_wm_standby},
};

int sprintf_sig_proto(char* buffer, long size, const sig_proto* record, int mode)
{
    if (buffer && size > 0)
        std::memset(buffer, 0, size_t(size));
    if (!record)
        return 0;
    for (const s_sig_proto_table_sprintf& row : sig_proto_sprintf_table)
        if (row.type == record->type)
            return row.printer(buffer, size, record, mode);
    return 0;
}

int sprintf_base(char* buffer, long size, const sig_proto* record, int mode)
{
    return print(buffer, size, record, mode, 0);
}

int sprintf_gw_adjust_chan(char* buffer, long size, const sig_proto* record, int mode)
{
    return print(buffer, size, record, mode, GW_ADJUST_CHAN);
}

int sprintf_gw_selcall(char* buffer, long size, const sig_proto* record, int mode)
{
    return print(buffer, size, record, mode, GW_SEL_CALL);
}

int sprintf_gw_select_rc_chan(char* buffer, long size, const sig_proto* record, int mode)
{
    return print(buffer, size, record, mode, GW_SELECT_RC_CHAN);
}

int sprintf_gw_adjust_squelsh(char* buffer, long size, const sig_proto* record, int mode)
{
    return print(buffer, size, record, mode, GW_ADJUST_SQUELSHE);
}

int sprintf_gw_adjust_rte(char* buffer, long size, const sig_proto* record, int mode)
{
    return print(buffer, size, record, mode, GW_ADJUST_RTE);
}

int sprintf_gw_adjust_standby(char* buffer, long size, const sig_proto* record, int mode)
{
    return print(buffer, size, record, mode, GW_ADJUST_STANDBY);
}

int sprintf_wm_trans(char* buffer, long size, const sig_proto* record, int mode)
{
    return print(buffer, size, record, mode, WM_TRANS);
}

int sprintf_wm_radio_qulity(char* buffer, long size, const sig_proto* record, int mode)
{
    return print(buffer, size, record, mode, WM_RADIO_QUALITY);
}

int sprintf_wm_chan(char* buffer, long size, const sig_proto* record, int mode)
{
    return print(buffer, size, record, mode, WM_CHAN);
}

int sprintf_wm_selcall(char* buffer, long size, const sig_proto* record, int mode)
{
    return print(buffer, size, record, mode, WM_SEL_CALL_TRANS);
}

int sprintf_wm_select_rc_chan(char* buffer, long size, const sig_proto* record, int mode)
{
    return print(buffer, size, record, mode, WM_SELECT_RC_CHAN);
}

int sprintf_wm_standby(char* buffer, long size, const sig_proto* record, int mode)
{
    return print(buffer, size, record, mode, WM_STANDBY);
}

int cmp_sig_proto(const sig_proto* a, const sig_proto* b) { return compare_printed(a, b, mode_type_number); }

int cmp_sig_proto_flags(const sig_proto* a, const sig_proto* b) { return compare_printed(a, b, mode_flags_only); }
