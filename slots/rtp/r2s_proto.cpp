#include "slots/rtp/r2s_proto.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

namespace {

constexpr unsigned char x_bit = 0x01;

// Tags: feature type in the high four bits, value length in the low four.
constexpr unsigned char tag_sqi = 0x11;
constexpr unsigned char tag_climax_time_delay = 0x21;
constexpr unsigned char tag_rrc_short = 0x31;
constexpr unsigned char tag_rrc_long = 0x34;
constexpr unsigned char tag_rrm = 0x43;
constexpr unsigned char tag_mam = 0x4C;

// An rx RRC entry claims the room of the long form whichever form it has.
constexpr int rx_rrc_room = 5;

int append(r2s_proto* proto, uint32_t kind, std::initializer_list<uint32_t> words)
{
    if (!proto || proto->count >= r2s_proto_max_additionals)
        return 0;
    r2s_proto_additional& entry = proto->additionals[proto->count++];
    entry = r2s_proto_additional{};
    entry.kind = kind;
    std::copy(words.begin(), words.end(), entry.values);
    return 0;
}

// Eight one-bit flags, b7 first, as one byte and back.
unsigned char flags_byte(const uint32_t* flags)
{
    unsigned byte = 0;
    for (int bit = 0; bit < 8; ++bit)
        byte = byte << 1 | (flags[bit] & 1);
    return static_cast<unsigned char>(byte);
}

void take_flags(uint32_t* flags, unsigned char byte)
{
    for (int bit = 0; bit < 8; ++bit)
        flags[bit] = byte >> (7 - bit) & 1;
}

// A flag in bit 7 and a 23-bit value in the rest of three bytes, and back.
void put_flagged(unsigned char* out, uint32_t flag, uint32_t value)
{
    out[0] = static_cast<unsigned char>((flag & 1) << 7 | (value >> 16 & 0x7F));
    out[1] = static_cast<unsigned char>(value >> 8);
    out[2] = static_cast<unsigned char>(value);
}

void take_flagged(const unsigned char* in, uint32_t* flag, uint32_t* value)
{
    *flag = in[0] >> 7;
    *value = uint32_t(in[0] & 0x7F) << 16 | uint32_t(in[1]) << 8 | in[2];
}

void put_u16(unsigned char* out, uint32_t value)
{
    out[0] = static_cast<unsigned char>(value >> 8);
    out[1] = static_cast<unsigned char>(value);
}

uint32_t take_u16(const unsigned char* in) { return uint32_t(in[0]) << 8 | in[1]; }

// A tag and a one-byte value.
int put_byte_feature(unsigned char* out, int room, unsigned char tag, uint32_t value)
{
    if (room < 2)
        return r2s_proto_too_short;
    out[0] = tag;
    out[1] = static_cast<unsigned char>(value);
    return 2;
}

// One feature into `out` with `room` bytes left: the bytes written (0 for a kind the form does not
// carry) or an error.
int pack_tx_feature(const r2s_proto_additional& entry, unsigned char* out, int room)
{
    const uint32_t* v = entry.values;
    switch (entry.kind) {
    case r2s_proto_climax_time_delay: return put_byte_feature(out, room, tag_climax_time_delay, v[0]);
    case r2s_proto_rrc: return put_byte_feature(out, room, tag_rrc_short, flags_byte(v));
    case r2s_proto_rrm_mam:
        if (room < 4)
            return r2s_proto_too_short;
        out[0] = tag_rrm;
        put_flagged(out + 1, v[0], v[1]);
        return 4;
    default: return 0;
    }
}

int pack_rx_feature(const r2s_proto_additional& entry, unsigned char* out, int room)
{
    const uint32_t* v = entry.values;
    switch (entry.kind) {
    case r2s_proto_sqi: return put_byte_feature(out, room, tag_sqi, (v[0] & 0x1F) << 3 | (v[1] & 0x07));
    case r2s_proto_rrc:
        if (room < rx_rrc_room)
            return r2s_proto_too_short;
        if (v[8] > 1)
            return r2s_proto_wrong_form;
        out[1] = flags_byte(v);
        if (v[8] == 0) {
            out[0] = tag_rrc_short;
            return 2;
        }
        out[0] = tag_rrc_long;
        out[2] = static_cast<unsigned char>((v[9] & 1) << 7 | (v[10] & 1) << 6);
        out[3] = static_cast<unsigned char>(v[11]);
        out[4] = static_cast<unsigned char>(v[12]);
        return 5;
    case r2s_proto_rrm_mam:
        if (room < 13)
            return r2s_proto_too_short;
        out[0] = tag_mam;
        put_flagged(out + 1, v[0], v[1]);
        put_flagged(out + 4, v[2], v[3]);
        put_u16(out + 7, v[4]);
        put_u16(out + 9, v[5]);
        put_u16(out + 11, v[6]);
        return 13;
    default: return 0;
    }
}

int pack(const r2s_proto* proto, unsigned char* buffer, int length, bool rx)
{
    if (!proto)
        return r2s_proto_missing;
    if (!buffer)
        return 0;
    if (length < 2)
        return r2s_proto_too_short;
    std::memset(buffer, 0, static_cast<size_t>(length));
    const unsigned count = std::min(proto->count, r2s_proto_max_additionals);
    const unsigned char x = count ? x_bit : 0;
    if (rx) {
        const r2s_proto_rx_header& h = proto->rx;
        buffer[0] = static_cast<unsigned char>((h.ptt_type & 7) << 5 | (h.squ & 1) << 4 | (h.ptt_id >> 2 & 0x0F));
        buffer[1] = static_cast<unsigned char>((h.ptt_id & 3) << 6 | (h.pm & 1) << 5 | (h.ptts & 1) << 4 |
                                               (h.sct & 1) << 3 | x);
    } else {
        const r2s_proto_tx_header& h = proto->tx;
        buffer[0] = static_cast<unsigned char>((h.ptt_type & 7) << 5 | (h.ptt_id >> 2 & 0x0F));
        buffer[1] = static_cast<unsigned char>((h.ptt_id & 3) << 6 | (h.pm & 1) << 5 | (h.ptts & 1) << 4 | x);
    }
    if (!count)
        return length >= 4 ? 4 : r2s_proto_too_short;
    int at = 2;
    for (unsigned i = 0; i < count; ++i) {
        const r2s_proto_additional& entry = proto->additionals[i];
        int written = rx ? pack_rx_feature(entry, buffer + at, length - at)
                         : pack_tx_feature(entry, buffer + at, length - at);
        if (written < 0)
            return written;
        at += written;
    }
    return at;
}

// One feature value behind its tag into the entry; false for a tag the form does not carry.
bool unpack_tx_feature(unsigned char tag, const unsigned char* v, r2s_proto_additional& entry)
{
    switch (tag) {
    case tag_climax_time_delay:
        entry.kind = r2s_proto_climax_time_delay;
        entry.values[0] = v[0];
        return true;
    case tag_rrc_short:
        entry.kind = r2s_proto_rrc;
        take_flags(entry.values, v[0]);
        return true;
    case tag_rrm:
        entry.kind = r2s_proto_rrm_mam;
        take_flagged(v, &entry.values[0], &entry.values[1]);
        return true;
    default: return false;
    }
}

bool unpack_rx_feature(unsigned char tag, const unsigned char* v, r2s_proto_additional& entry)
{
    switch (tag) {
    case tag_sqi:
        entry.kind = r2s_proto_sqi;
        entry.values[0] = v[0] >> 3;
        entry.values[1] = v[0] & 0x07;
        return true;
    case tag_rrc_short:
    case tag_rrc_long:
        entry.kind = r2s_proto_rrc;
        take_flags(entry.values, v[0]);
        if (tag == tag_rrc_long) {
            entry.values[8] = 1;
            entry.values[9] = v[1] >> 7 & 1;
            entry.values[10] = v[1] >> 6 & 1;
            entry.values[11] = v[2];
            entry.values[12] = v[3];
        }
        return true;
    case tag_mam:
        entry.kind = r2s_proto_rrm_mam;
        take_flagged(v, &entry.values[0], &entry.values[1]);
        take_flagged(v + 3, &entry.values[2], &entry.values[3]);
        entry.values[4] = take_u16(v + 6);
        entry.values[5] = take_u16(v + 8);
        entry.values[6] = take_u16(v + 10);
        return true;
    default: return false;
    }
}

int unpack(r2s_proto* proto, const unsigned char* buffer, int length, bool rx)
{
    if (!proto || !buffer)
        return r2s_proto_missing;
    if (length < 2)
        return r2s_proto_too_short;
    const uint32_t ptt_type = buffer[0] >> 5, ptt_id = uint32_t(buffer[0] & 0x0F) << 2 | buffer[1] >> 6;
    const uint32_t pm = buffer[1] >> 5 & 1, ptts = buffer[1] >> 4 & 1;
    if (rx)
        r2s_proto_set_rx_header(proto, ptt_type, buffer[0] >> 4 & 1, ptt_id, pm, ptts, buffer[1] >> 3 & 1);
    else
        r2s_proto_set_tx_header(proto, ptt_type, ptt_id, pm, ptts);
    proto->count = 0;
    if (!(buffer[1] & x_bit))
        return 0;
    for (int at = 2; at < length && proto->count < r2s_proto_max_additionals;) {
        const unsigned char tag = buffer[at];
        const int size = tag & 0x0F;
        if (at + 1 + size > length)
            return r2s_proto_too_short;
        r2s_proto_additional& entry = proto->additionals[proto->count];
        entry = r2s_proto_additional{};
        if (rx ? unpack_rx_feature(tag, buffer + at + 1, entry) : unpack_tx_feature(tag, buffer + at + 1, entry))
            ++proto->count;
        at += 1 + size;
    }
    return 0;
}

}  // namespace

int r2s_proto_init(r2s_proto* proto, unsigned long form)
{
    if (proto) {
        *proto = r2s_proto{};
        proto->form = static_cast<uint32_t>(form);
    }
    return 0;
}

int r2s_proto_set_type(r2s_proto* proto, unsigned long form)
{
    if (proto)
        proto->form = static_cast<uint32_t>(form);
    return 0;
}

int r2s_proto_set_tx_header(r2s_proto* proto, unsigned long ptt_type, unsigned long ptt_id, unsigned long pm,
                            unsigned long ptts)
{
    if (proto) {
        proto->form = r2s_proto_tx;
        proto->tx = {static_cast<uint32_t>(ptt_type), static_cast<uint32_t>(ptt_id), static_cast<uint32_t>(pm),
                     static_cast<uint32_t>(ptts)};
    }
    return 0;
}

int r2s_proto_set_rx_header(r2s_proto* proto, unsigned long ptt_type, unsigned long squ, unsigned long ptt_id,
                            unsigned long pm, unsigned long ptts, unsigned long sct)
{
    if (proto) {
        proto->form = r2s_proto_rx;
        proto->rx = {static_cast<uint32_t>(ptt_type), static_cast<uint32_t>(squ),  static_cast<uint32_t>(ptt_id),
                     static_cast<uint32_t>(pm),       static_cast<uint32_t>(ptts), static_cast<uint32_t>(sct)};
    }
    return 0;
}

int r2s_proto_reset_additionals(r2s_proto* proto)
{
    if (proto)
        proto->count = 0;
    return 0;
}

int r2s_proto_add_rx_sqi(r2s_proto* proto, const r2s_proto_rx_additional_sqi* sqi)
{
    return sqi ? append(proto, r2s_proto_sqi, {sqi->first, sqi->second}) : 0;
}

int r2s_proto_add_rx_sqi(r2s_proto* proto, unsigned long first, unsigned long second)
{
    return append(proto, r2s_proto_sqi, {static_cast<uint32_t>(first), static_cast<uint32_t>(second)});
}

int r2s_proto_add_rx_rrc(r2s_proto* proto, const r2s_proto_rx_additional_rrc* r)
{
    return r ? append(proto, r2s_proto_rrc,
                      {r->b7, r->b6, r->b5, r->b4, r->b3, r->b2, r->b1, r->b0, r->extended, r->e7, r->e6, r->value1,
                       r->value2})
             : 0;
}

int r2s_proto_add_rx_mam(r2s_proto* proto, const r2s_proto_rx_additional_mam* m)
{
    return m ? append(proto, r2s_proto_rrm_mam,
                      {m->flag_a, m->value_a, m->flag_b, m->value_b, m->value1, m->value2, m->value3})
             : 0;
}

int r2s_proto_add_tx_time_delay(r2s_proto* proto, const r2s_proto_tx_additional_climax_time_delay* delay)
{
    return delay ? append(proto, r2s_proto_climax_time_delay, {delay->delay}) : 0;
}

int r2s_proto_add_tx_rrc(r2s_proto* proto, const r2s_proto_tx_additional_rrc* r)
{
    return r ? append(proto, r2s_proto_rrc, {r->b7, r->b6, r->b5, r->b4, r->b3, r->b2, r->b1, r->b0}) : 0;
}

int r2s_proto_add_tx_rrm(r2s_proto* proto, const r2s_proto_tx_additional_rrm* rrm)
{
    return rrm ? append(proto, r2s_proto_rrm_mam, {rrm->flag, rrm->value}) : 0;
}

int r2s_proto_pack(r2s_proto* proto, unsigned char* buffer, int length)
{
    if (!proto)
        return r2s_proto_missing;
    switch (proto->form) {
    case r2s_proto_tx: return r2s_proto_pack_tx(proto, buffer, length);
    case r2s_proto_rx: return r2s_proto_pack_rx(proto, buffer, length);
    default: return r2s_proto_wrong_form;
    }
}

int r2s_proto_pack_tx(r2s_proto* proto, unsigned char* buffer, int length)
{
    return pack(proto, buffer, length, false);
}

int r2s_proto_pack_rx(r2s_proto* proto, unsigned char* buffer, int length)
{
    return pack(proto, buffer, length, true);
}

int r2s_proto_unpack_tx(r2s_proto* proto, const unsigned char* buffer, int length)
{
    return unpack(proto, buffer, length, false);
}

int r2s_proto_unpack_rx(r2s_proto* proto, const unsigned char* buffer, int length)
{
    return unpack(proto, buffer, length, true);
}

int cmp_r2s_proto_source(const r2s_proto* a, const r2s_proto* b)
{
    if (!a || !b)
        return -1;
    for (auto field : {&r2s_proto::form, &r2s_proto::source_ssrc, &r2s_proto::source_address})
        if (a->*field != b->*field)
            return static_cast<int>(b->*field - a->*field);
    return 0;
}
