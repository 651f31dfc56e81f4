#pragma once

// SNMPv2c trap messages (an SNMPv2-Trap-PDU in a community-based message) built in BER into a
// fixed buffer of a caller-owned context, ready for the caller to send over UDP. For one trap:
// optionally snmp_session_seed, then trap_init, trap_pack_begin, trap_pack_add for each binding
// (by convention first sysUpTime.0 with get_uptime() as TimeTicks, then snmpTrapOID.0; nothing
// is added by itself), trap_pack_end; the message is the first `length` bytes of the buffer.
// The trap_ functions return 0 on success and -1 on failure. A failed step leaves the context
// fit only for trap_init.

#include <cstdint>

namespace SNMP {

constexpr int trap_buffer_size = 2048;

struct TrapContext {
    int version = 0;
    int pdu_type = 0;
    int request_id = 0;
    int error_status = 0;
    int error_index = 0;
    char community[32] = {};
    // 0 initialised, 1 begun, 2 holding a binding, 3 finished.
    int state = 0;
    unsigned char buffer[trap_buffer_size] = {};
    int room = 0;
    int length = 0;
    // Where trap_pack_begin left the parts whose lengths trap_pack_end patches.
    unsigned char* version_start = nullptr;
    unsigned char* pdu_header = nullptr;
    unsigned char* request_id_start = nullptr;
    unsigned char* bindings_header = nullptr;
    unsigned char* first_binding = nullptr;
    // Where the next octet goes; null after a failed step.
    unsigned char* position = nullptr;
};

// Prepares the context for a new trap and advances its request id (positive and odd). The
// community is at most 31 characters of the given text, "wobrel" without one.
int trap_init(TrapContext* context, const char* community);
// The request id from which the next trap_init advances.
int snmp_session_seed(TrapContext* context, int seed);
int trap_pack_begin(TrapContext* context);
// One variable binding; the value is read by the tag: a 4-byte int32_t for INTEGER (0x02), a
// 4-byte uint32_t for Counter32, Gauge32, TimeTicks and application 7 (0x41, 0x42, 0x43, 0x47),
// an array of sub-identifiers for OBJECT IDENTIFIER (0x06, value_length bytes), octets for BIT
// STRING (0x03), OCTET STRING, IpAddress, Opaque and application 5 (0x04, 0x40, 0x44, 0x45),
// nothing for NULL (0x05). Any other tag fails.
int trap_pack_add(TrapContext* context, const uint32_t* oid, int oid_count, unsigned char tag, const void* value,
                  int value_length);
int trap_pack_end(TrapContext* context);

// One variable binding at the position (trap_pack_add's step); the position after it, or null.
unsigned char* snmp_build_var_op(unsigned char* position, const uint32_t* oid, int oid_count, unsigned char tag,
                                 int value_length, const void* value, int* room);

// The sub-identifiers of a dotted text (at most its first 127 characters), at most capacity of
// them; the number stored.
int parse_oid(uint32_t* oid, int capacity, const char* text);

// The time since the system started, in hundredths of a second; it never steps back.
uint32_t get_uptime();

}  // namespace SNMP
