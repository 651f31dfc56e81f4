#pragma once

// Text forms of a LEMZ packet (sig_proto.h), one "name : value,\n" line per field, and the two
// comparisons made on them. The mode is a set of bits: 2 names the type (its number when it has
// no name), else 1 gives its number, else there is no type line; 4 stops after the ten flags.
//
// Each printer clears the buffer, writes at most size - 1 characters and answers how many it
// wrote; 0 for a missing buffer or record or a size below 1.

#include "slots/rtp/sig_proto.h"

using sig_proto_printer = int (*)(char* buffer, long size, const sig_proto* record, int mode);

struct s_sig_proto_table_sprintf {
    uint32_t type;
    sig_proto_printer printer;
};

// The printer of each type.
extern const s_sig_proto_table_sprintf sig_proto_sprintf_table[21];

// The printer of the record's type; 0 for a type without one.
int sprintf_sig_proto(char* buffer, long size, const sig_proto* record, int mode);

// Type line, flags, priority and status.
int sprintf_base(char* buffer, long size, const sig_proto* record, int mode);
// sprintf_base, then the type's body unless mode has the bit 4.
int sprintf_gw_adjust_chan(char* buffer, long size, const sig_proto* record, int mode);
int sprintf_gw_selcall(char* buffer, long size, const sig_proto* record, int mode);
int sprintf_gw_select_rc_chan(char* buffer, long size, const sig_proto* record, int mode);
int sprintf_gw_adjust_squelsh(char* buffer, long size, const sig_proto* record, int mode);
int sprintf_gw_adjust_rte(char* buffer, long size, const sig_proto* record, int mode);
int sprintf_gw_adjust_standby(char* buffer, long size, const sig_proto* record, int mode);
int sprintf_wm_trans(char* buffer, long size, const sig_proto* record, int mode);
int sprintf_wm_radio_qulity(char* buffer, long size, const sig_proto* record, int mode);
int sprintf_wm_chan(char* buffer, long size, const sig_proto* record, int mode);
int sprintf_wm_selcall(char* buffer, long size, const sig_proto* record, int mode);
int sprintf_wm_select_rc_chan(char* buffer, long size, const sig_proto* record, int mode);
int sprintf_wm_standby(char* buffer, long size, const sig_proto* record, int mode);

// Whether two packets print the same in mode 1 (everything) or in mode 4 (the flags only): 0 when
// they do; else b's text length minus a's, or the strncmp of the texts over a's length; -1 when
// either is missing.
int cmp_sig_proto(const sig_proto* a, const sig_proto* b);
int cmp_sig_proto_flags(const sig_proto* a, const sig_proto* b);
