#pragma once

// The ED-137 radio-to-system signalling carried in RTP header extensions of type 0x0167, as a plain
// record and the free functions that pack it into a header-extension payload and unpack it again.
// A payload has two forms: the tx form, from the voice system towards the radio (PTT commands),
// and the rx form, from the radio towards the voice system (PTT state, squelch, signal quality).
// Two header bytes come first; when their X bit is set, features follow as a tag byte (type in the
// high four bits, value length in the low four) and the value. The functions report through their
// results only and neither allocate nor log: the record holds its largest feature list inline.

#include <cstdint>

enum r2s_proto_form : uint32_t { r2s_proto_none = 0, r2s_proto_tx = 1, r2s_proto_rx = 2 };

// The kind of a feature entry. The fourth kind is RRM in the tx form and MAM in the rx form.
enum r2s_proto_kind : uint32_t {
    r2s_proto_sqi = 1,
    r2s_proto_climax_time_delay = 2,
    r2s_proto_rrc = 3,
    r2s_proto_rrm_mam = 4,
};

// Results.
constexpr int r2s_proto_missing = -7;
constexpr int r2s_proto_wrong_form = -8;
constexpr int r2s_proto_too_short = -9;

constexpr unsigned r2s_proto_max_additionals = 16;

// The argument records of the add functions; an entry keeps their words in this order.
struct r2s_proto_rx_additional_sqi {
    uint32_t first;   // 5 bits
    uint32_t second;  // 3 bits
};
struct r2s_proto_tx_additional_climax_time_delay {
    uint32_t delay;  // 8 bits
};
struct r2s_proto_tx_additional_rrc {
    uint32_t b7, b6, b5, b4, b3, b2, b1, b0;
};
struct r2s_proto_rx_additional_rrc {
    uint32_t b7, b6, b5, b4, b3, b2, b1, b0;
    uint32_t extended;  // 0 short form, 1 long form
    uint32_t e7, e6;    // long form: the two more flags
    uint32_t value1, value2;  // long form: 8 bits each
};
struct r2s_proto_tx_additional_rrm {
    uint32_t flag;
    uint32_t value;  // 23 bits
};
struct r2s_proto_rx_additional_mam {
    uint32_t flag_a;
    uint32_t value_a;  // 23 bits
    uint32_t flag_b;
    uint32_t value_b;  // 23 bits
    uint32_t value1, value2, value3;  // 16 bits each
};

struct r2s_proto_additional {
    uint32_t kind;
    uint32_t values[13];
};

struct r2s_proto_tx_header {
    uint32_t ptt_type;  // 3 bits
    uint32_t ptt_id;    // 6 bits
    uint32_t pm;
    uint32_t ptts;
};

struct r2s_proto_rx_header {
    uint32_t ptt_type;  // 3 bits
    uint32_t squ;
    uint32_t ptt_id;  // 6 bits
    uint32_t pm;
    uint32_t ptts;
    uint32_t sct;
};

struct r2s_proto {
    // The sender, in network order, and its SSRC: filled by the receiver, not by the codec.
    uint32_t source_address;
    uint32_t source_ssrc;
    uint32_t form;
    // The header of the record's form.
    r2s_proto_tx_header tx;
    r2s_proto_rx_header rx;
    uint32_t count;
    r2s_proto_additional additionals[r2s_proto_max_additionals];
};

// Clears the whole record and sets the form; 0, also for a null record.
int r2s_proto_init(r2s_proto* proto, unsigned long form);
int r2s_proto_set_type(r2s_proto* proto, unsigned long form);
// Set the form and its header.
int r2s_proto_set_tx_header(r2s_proto* proto, unsigned long ptt_type, unsigned long ptt_id, unsigned long pm,
                            unsigned long ptts);
int r2s_proto_set_rx_header(r2s_proto* proto, unsigned long ptt_type, unsigned long squ, unsigned long ptt_id,
                            unsigned long pm, unsigned long ptts, unsigned long sct);
int r2s_proto_reset_additionals(r2s_proto* proto);

// Each appends one feature at the next free entry, whatever the record's form; nothing once 16 are
// held. 0, and nothing done for a null record or argument.
int r2s_proto_add_rx_sqi(r2s_proto* proto, const r2s_proto_rx_additional_sqi* sqi);
int r2s_proto_add_rx_sqi(r2s_proto* proto, unsigned long first, unsigned long second);
int r2s_proto_add_rx_rrc(r2s_proto* proto, const r2s_proto_rx_additional_rrc* rrc);
int r2s_proto_add_rx_mam(r2s_proto* proto, const r2s_proto_rx_additional_mam* mam);
int r2s_proto_add_tx_time_delay(r2s_proto* proto, const r2s_proto_tx_additional_climax_time_delay* delay);
int r2s_proto_add_tx_rrc(r2s_proto* proto, const r2s_proto_tx_additional_rrc* rrc);
int r2s_proto_add_tx_rrm(r2s_proto* proto, const r2s_proto_tx_additional_rrm* rrm);

// Pack the record in its form into the buffer: the bytes written, 0 for a null buffer, or an error
// (a failed pack leaves the buffer partly written). Features of kinds the form does not carry are
// passed over.
int r2s_proto_pack(r2s_proto* proto, unsigned char* buffer, int length);
int r2s_proto_pack_tx(r2s_proto* proto, unsigned char* buffer, int length);
int r2s_proto_pack_rx(r2s_proto* proto, unsigned char* buffer, int length);

// Decode a payload of the form into the record: 0, or an error after which the record keeps the
// header and the features decoded before it. Tags the form does not carry are skipped; at most 16
// features are decoded.
int r2s_proto_unpack_tx(r2s_proto* proto, const unsigned char* buffer, int length);
int r2s_proto_unpack_rx(r2s_proto* proto, const unsigned char* buffer, int length);

// 0 when both records have the same form, source SSRC and source address; else b's value minus
// a's of the first of them that differs; -1 when either is null.
int cmp_r2s_proto_source(const r2s_proto* a, const r2s_proto* b);
