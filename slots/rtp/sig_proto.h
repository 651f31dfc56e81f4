#pragma once

// The LEMZ radio signalling codec: one packet per RTP header-extension payload, a 4-octet header
// (type, priority, ten flags, a 9-bit status) and a body laid out by the packet type. Types 1 to
// 13 (GW_...) are commands to a radio gateway, types 129 to 135 (WM_...) the other side's reports.
// Plain functions over the record `sig_proto`: pack, unpack, field setters, comparisons and the
// type-name table; the text printers are in sig_proto_print.h. No state, no input or output.
//
// Every function takes pointers; a missing record leaves it doing nothing and answering as stated.

#include <cstdint>
#include <netinet/in.h>

// The packet types.
enum : uint32_t {
    GW_FLAG = 1,
    GW_ADJUST_CHAN = 2,
    GW_FLAG_PTT = 3,
    GW_FLAG_BSS = 4,
    GW_FLAG_RV = 5,
    GW_FLAG_SH = 6,
    GW_FLAG_PW = 7,
    GW_FLAG_RS = 8,
    GW_SEL_CALL = 9,
    GW_SELECT_RC_CHAN = 10,
    GW_ADJUST_SQUELSHE = 11,
    GW_ADJUST_RTE = 12,
    GW_ADJUST_STANDBY = 13,
    WM_FLAG = 129,
    WM_TRANS = 130,
    WM_RADIO_QUALITY = 131,
    WM_CHAN = 132,
    WM_SEL_CALL_TRANS = 133,
    WM_SELECT_RC_CHAN = 134,
    WM_STANDBY = 135,
};

// The results of packing and unpacking.
enum : int {
    SIG_PROTO_MISSING = -7,
    SIG_PROTO_UNKNOWN_TYPE = -8,
    SIG_PROTO_SHORT = -9,
};

constexpr unsigned sig_proto_caller_id_size = 256;

// One packet in memory, numbers in host order.
struct sig_proto {
    struct adjust_chan {
        uint32_t id;
        float freq;
    };
    struct sel_call {
        uint8_t callerID_length;
        char callerID[sig_proto_caller_id_size];
    };
    struct select_rc_chan {
        uint8_t interface;
        uint8_t channel;
    };
    struct adjust_squelsh {
        uint8_t squelsh;
    };
    struct adjust_rte {
        uint8_t rte;
    };
    struct adjust_standby {
        uint8_t state;
    };
    struct trans {
        in_addr session_addr;  // network order
        uint32_t ssrc;
    };
    struct radio_quality_report {
        float radio_quality;
    };
    struct chan {
        uint32_t id;
        float freq;
        uint8_t squelsh;
        uint8_t rte;
    };
    struct sel_call_trans {
        in_addr session_addr;  // network order
        uint32_t ssrc;
        uint8_t callerID_length;
        char callerID[sig_proto_caller_id_size];
    };
    struct standby {
        uint8_t state;
        uint8_t group;
        uint8_t receiver_state;
    };

    // The sender of a received packet (address in network order); never on the wire.
    uint32_t source_addr;
    uint32_t source_ssrc;
    uint32_t type;  // the wire carries its low 8 bits
    uint32_t priority;
    uint32_t flag_t;
    uint32_t flag_p;
    uint32_t flag_r;
    uint32_t flag_s;
    uint32_t flag_b;
    uint32_t flag_rv;
    uint32_t flag_sh;
    uint32_t flag_rs;
    uint32_t flag_pw;
    uint32_t flag_c;
    uint32_t status;
    union Body {
        adjust_chan gw_adjust_chan;
        sel_call gw_sel_call;
        select_rc_chan gw_select_rc_chan;
        adjust_squelsh gw_adjust_squelsh;
        adjust_rte gw_adjust_rte;
        adjust_standby gw_adjust_standby;
        trans wm_trans;
        radio_quality_report wm_radio_quality;
        chan wm_chan;
        sel_call_trans wm_sel_call_trans;
        select_rc_chan wm_select_rc_chan;
        standby wm_standby;
    } body;
};

struct s_sig_proto_table_name {
    int id;
    const char* name;
};

constexpr unsigned sig_proto_name_rows = 128;

// The type names in the order of the types above, ended by a row with id -1.
extern const s_sig_proto_table_name sig_proto_packet_const_name[sig_proto_name_rows];

// The types a fresh queue is seeded with.
extern const uint32_t init_sig_proto_type[17];

struct sig_proto_queue {
    sig_proto records[32];
    uint32_t words[32];
};

// The packed length; 0 without record or buffer; SIG_PROTO_SHORT when `length` is below 4 or below
// what the type needs (the buffer then holds the header and zeros).
int sig_proto_pack(const sig_proto* record, uint8_t* buffer, int length);
// 0; SIG_PROTO_MISSING without record or payload; SIG_PROTO_SHORT for a payload shorter than its
// type needs; SIG_PROTO_UNKNOWN_TYPE for a type outside the table, which alone is then stored.
// Otherwise the record is written only once the whole packet decoded; body fields the type does
// not carry, and the source words, keep what they held.
int sig_proto_unpack(sig_proto* record, const uint8_t* payload, int length);
int sig_proto_init(sig_proto* record);

// The setters write only the fields they name (never `type`) and answer 0. sig_proto_set_base and
// sig_proto_set_ptt leave a field alone whose argument is negative.
int sig_proto_set_base(sig_proto* record, int priority, int flag_t, int flag_p, int flag_r, int flag_s, int flag_b,
                       int flag_rv, int flag_sh, int flag_pw, int flag_rs, int flag_c, int status);
int sig_proto_set_ptt(sig_proto* record, int ptt);
int sig_proto_set_gw_adjust_chan(sig_proto* record, unsigned id, float freq);
int sig_proto_set_gw_adjust_squelsh(sig_proto* record, uint8_t squelsh);
int sig_proto_set_gw_adjust_rte(sig_proto* record, uint8_t rte);
int sig_proto_set_gw_adjust_standby(sig_proto* record, uint8_t state);
// The caller ID is cleared and takes at most 255 characters of `text`; `length` is stored as given.
int sig_proto_set_gw_selcall(sig_proto* record, const char* text, uint8_t length);
int sig_proto_set_gw_select_rc_chan(sig_proto* record, uint8_t interface, uint8_t channel);
int sig_proto_set_wm_select_rc_chan(sig_proto* record, uint8_t interface, uint8_t channel);
int sig_proto_set_wm_radio_quality(sig_proto* record, float quality);
int sig_proto_set_wm_transmite(sig_proto* record, in_addr address, unsigned ssrc);
int sig_proto_set_wm_selcall_transmite(sig_proto* record, in_addr address, unsigned ssrc, const char* text,
                                       uint8_t length);
int sig_proto_set_wm_chan(sig_proto* record, unsigned id, float freq, uint8_t squelsh, uint8_t rte);
int sig_proto_set_wm_standby(sig_proto* record, uint8_t state, uint8_t group, uint8_t receiver_state);

// 1 for the commands that carry the PTT: GW_FLAG, GW_FLAG_PTT, GW_SEL_CALL, WM_FLAG, WM_TRANS,
// WM_SEL_CALL_TRANS; else 0.
int sig_proto_is_ptt_command(const sig_proto* record);

// Searches at most 128 rows and stops at the first negative id: the name of the first row with the
// id, null when none; the id of the first row with exactly this name, -1 when none.
const char* sig_proto_find_name_by_id(const s_sig_proto_table_name* table, int id);
int sig_proto_find_id_by_name(const s_sig_proto_table_name* table, const char* name);

// Whether two packets have type, source SSRC and source address in common: 0 when they have, else
// b's value minus a's of the first that differs; -1 when either is missing.
int cmp_sig_proto_header(const sig_proto* a, const sig_proto* b);

// Type i of init_sig_proto_type for the first 17 records, all ones for the rest; everything else 0.
int init_sig_proto_queue(sig_proto_queue* queue);

int is_little_endian();
