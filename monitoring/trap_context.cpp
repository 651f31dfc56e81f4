#include "monitoring/trap_context.h"

#include "monitoring/ber_build.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>

namespace SNMP {

namespace {

// Writes the length of a constructed header opened with asn_build_sequence: the bytes from the
// end of the header to `end`.
void patch_length(unsigned char* header, const unsigned char* end)
{
    int room = 4;
    asn_build_sequence(header, &room, header[0], static_cast<int>(end - (header + 4)));
}

}  // namespace

int trap_init(TrapContext* context, const char* community)
{
    if (!context)
        return 0;
    // A linear congruential step, kept positive and odd.
    const uint32_t next = static_cast<uint32_t>(context->request_id) * 850009u + 991873u;
    const int request_id = static_cast<int>((next & 0x7FFFFFFFu) | 1u);
    *context = TrapContext();
    context->version = 1;
    context->pdu_type = 0xA7;
    context->request_id = request_id;
    if (community)
        std::memcpy(context->community, community, strnlen(community, sizeof context->community - 1));
    else
        std::strcpy(context->community, "wobrel");
    context->room = trap_buffer_size;
    return 0;
}

int snmp_session_seed(TrapContext* context, int seed)
{
    if (context)
        context->request_id = seed;
    return 0;
}

int trap_pack_begin(TrapContext* context)
{
    if (!context || context->state != 0)
        return -1;
    TrapContext& c = *context;
    c.state = 1;
    unsigned char* p = asn_build_sequence(c.buffer, &c.room, 0x30, 0);
    c.version_start = p;
    p = asn_build_int(p, &c.room, 0x02, &c.version, 4);
    p = asn_build_string(p, &c.room, 0x04, reinterpret_cast<const unsigned char*>(c.community),
                         static_cast<int>(std::strlen(c.community)));
    c.pdu_header = p;
    p = asn_build_sequence(p, &c.room, static_cast<unsigned char>(c.pdu_type), 0);
    c.request_id_start = p;
    for (const int* field : {&c.request_id, &c.error_status, &c.error_index})
        p = asn_build_int(p, &c.room, 0x02, field, 4);
    c.bindings_header = p;
    p = asn_build_sequence(p, &c.room, 0x30, 0);
    c.first_binding = p;
    c.position = p;
    return p ? 0 : -1;
}

int trap_pack_add(TrapContext* context, const uint32_t* oid, int oid_count, unsigned char tag, const void* value,
                  int value_length)
{
    if (!context || (context->state != 1 && context->state != 2) || !context->position)
        return -1;
    context->position = snmp_build_var_op(context->position, oid, oid_count, tag, value_length, value, &context->room);
    if (!context->position)
        return -1;
    context->state = 2;
    return 0;
}

int trap_pack_end(TrapContext* context)
{
    if (!context || (context->state != 1 && context->state != 2) || !context->position)
        return -1;
    TrapContext& c = *context;
    if (!c.version_start || !c.pdu_header || !c.request_id_start || !c.bindings_header || !c.first_binding)
        return -1;
    patch_length(c.bindings_header, c.position);
    patch_length(c.pdu_header, c.position);
    patch_length(c.buffer, c.position);
    c.length = static_cast<int>(c.position - c.buffer);
    c.state = 3;
    return 0;
}

unsigned char* snmp_build_var_op(unsigned char* position, const uint32_t* oid, int oid_count, unsigned char tag,
                                 int value_length, const void* value, int* room)
{
    unsigned char* const header = position;
    position = asn_build_objid(asn_build_sequence(position, room, 0x30, 0), room, 0x06, oid, oid_count);
    const auto* octets = static_cast<const unsigned char*>(value);
    switch (tag) {
    case 0x02:
        position = asn_build_int(position, room, tag, static_cast<const int32_t*>(value), value_length);
        break;
    case 0x03:
        position = asn_build_bitstring(position, room, tag, octets, value_length);
        break;
    case 0x04:
    case 0x40:
    case 0x44:
    case 0x45:
        position = asn_build_string(position, room, tag, octets, value_length);
        break;
    case 0x05:
        position = asn_build_null(position, room, tag);
        break;
    case 0x06:
        position = asn_build_objid(position, room, tag, static_cast<const uint32_t*>(value), value_length / 4);
        break;
    case 0x41:
    case 0x42:
    case 0x43:
    case 0x47:
        position = asn_build_unsigned_int(position, room, tag, static_cast<const uint32_t*>(value), value_length);
        break;
    default:
        return nullptr;
    }
    if (!position)
        return nullptr;
    patch_length(header, position);
    return position;
}

int parse_oid(uint32_t* oid, int capacity, const char* text)
{
    if (!oid || capacity < 1 || !text)
        return 0;
    char copy[128];
    std::strncpy(copy, text, sizeof copy - 1);
    copy[sizeof copy - 1] = '\0';
    int count = 0;
    char* rest = nullptr;
    for (char* field = strtok_r(copy, ".", &rest); field && count < capacity; field = strtok_r(nullptr, ".", &rest))
        oid[count++] = static_cast<uint32_t>(std::strtoul(field, nullptr, 10));
    return count;
}

uint32_t get_uptime()
{
    timespec since_boot{};
    clock_gettime(CLOCK_BOOTTIME, &since_boot);
    return static_cast<uint32_t>(static_cast<uint64_t>(since_boot.tv_sec) * 100 + since_boot.tv_nsec / 10000000);
}

}  // namespace SNMP
