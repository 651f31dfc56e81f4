#include "foundation/os/device_link.h"

#include "foundation/os/big_endian.h"

#include <cstring>

namespace DeviceLink {

namespace {

constexpr uint8_t open_tag = 'o';
constexpr uint8_t request_tag = 'r';
constexpr uint8_t posted_tag = 'p';
constexpr size_t open_header = 5;
constexpr size_t request_header = 18;
constexpr size_t reply_header = 8;

}  // namespace

size_t put_open(uint8_t* message, const Open& open)
{
    message[0] = open_tag;
    BigEndian::put_u32(message, 1, open.flags);
    std::memcpy(message + open_header, open.path.data(), open.path.size());
    return open_header + open.path.size();
}

size_t put_request(uint8_t* message, const Request& request)
{
    message[0] = request_tag;
    message[1] = static_cast<uint8_t>(request.argument);
    BigEndian::put_u32(message, 2, request.code);
    BigEndian::put_u32(message, 6, static_cast<uint32_t>(request.inode >> 32));
    BigEndian::put_u32(message, 10, static_cast<uint32_t>(request.inode));
    BigEndian::put_u32(message, 14, request.value);
    if (request.size)
        std::memcpy(message + request_header, request.record, request.size);
    return request_header + request.size;
}

size_t put_reply(uint8_t* message, const Reply& reply)
{
    BigEndian::put_i32(message, 0, reply.result);
    BigEndian::put_i32(message, 4, reply.error);
    if (reply.size)
        std::memcpy(message + reply_header, reply.record, reply.size);
    return reply_header + reply.size;
}

size_t put_posted_start(uint8_t* message)
{
    message[0] = posted_tag;
    return 1;
}

size_t put_posted(uint8_t* message, size_t length, const Request& request)
{
    const size_t size = put_request(message + length + posted_entry_header, request);
    message[length] = static_cast<uint8_t>(size >> 8);
    message[length + 1] = static_cast<uint8_t>(size);
    return length + posted_entry_header + size;
}

bool is_posted(const uint8_t* message, size_t length)
{
    return length > 1 && length <= max_posted_message && message[0] == posted_tag;
}

bool get_open(const uint8_t* message, size_t length, Open& open)
{
    if (length < open_header || length > max_open_message || message[0] != open_tag)
        return false;
    open.flags = BigEndian::get_u32(message, 1);
    open.path = std::string_view(reinterpret_cast<const char*>(message + open_header), length - open_header);
    return open.path.find('\0') == std::string_view::npos;
}

bool get_request(const uint8_t* message, size_t length, Request& request)
{
    if (length < request_header || length > max_request_message || message[0] != request_tag ||
        message[1] > static_cast<uint8_t>(Argument::record))
        return false;
    request.argument = static_cast<Argument>(message[1]);
    request.code = BigEndian::get_u32(message, 2);
    request.inode = uint64_t{BigEndian::get_u32(message, 6)} << 32 | BigEndian::get_u32(message, 10);
    request.value = BigEndian::get_u32(message, 14);
    request.size = length - request_header;
    request.record = message + request_header;
    return request.argument == Argument::record || request.size == 0;
}

bool get_reply(const uint8_t* message, size_t length, Reply& reply)
{
    if (length < reply_header || length > max_reply_message)
        return false;
    reply.result = BigEndian::get_i32(message, 0);
    reply.error = BigEndian::get_i32(message, 4);
    reply.size = length - reply_header;
    reply.record = message + reply_header;
    return true;
}

}  // namespace DeviceLink
