#include "slots/circuit/auth_record.h"

#include "foundation/os/big_endian.h"

#include <algorithm>
#include <arpa/inet.h>

namespace {

constexpr size_t name_size = 64;
constexpr size_t username_offset = 12;
constexpr size_t password_offset = username_offset + name_size;
constexpr size_t accept_length = 16;
constexpr size_t ip_parameters_length = 36;
constexpr size_t time_offset = 56;

std::string text_field(const uint8_t* field)
{
    const uint8_t* end = std::find(field, field + name_size, 0);
    return std::string(field, end);
}

}  // namespace

attr::attr(const uint8_t* bytes, size_t length) : bytes_(bytes, bytes + length) {}

attr::attr(size_t length, Type type, int modem_id) : bytes_(length)
{
    BigEndian::put_u32(bytes_.data(), 0, static_cast<uint32_t>(length));
    BigEndian::put_u32(bytes_.data(), 4, type);
    BigEndian::put_i32(bytes_.data(), 8, modem_id);
}

attr attr::Accept(int modem_id)
{
    attr record(accept_length, accept, modem_id);
    BigEndian::put_u32(record.bytes_.data(), header_size, 1);
    return record;
}

attr attr::IpParameters(int modem_id, const std::array<uint32_t, 4>& addresses, uint32_t mtu)
{
    attr record(ip_parameters_length, ip_parameters, modem_id);
    size_t offset = header_size + 4;
    for (uint32_t address : addresses) {
        BigEndian::put_u32(record.bytes_.data(), offset, ntohl(address));
        offset += 4;
    }
    BigEndian::put_u32(record.bytes_.data(), offset, mtu);
    return record;
}

uint32_t attr::type() const { return BigEndian::get_u32(bytes_.data(), 4); }

int attr::modem_id() const { return BigEndian::get_i32(bytes_.data(), 8); }

std::string voauth::username() const { return text_field(record_.data() + username_offset); }

std::string voauth::password() const { return text_field(record_.data() + password_offset); }

uint32_t voacct::time() const { return BigEndian::get_u32(record_.data(), time_offset); }

uint64_t voacct::counter(size_t offset) const
{
    return uint64_t{BigEndian::get_u32(record_.data(), offset)} << 32 | BigEndian::get_u32(record_.data(), offset + 4);
}
