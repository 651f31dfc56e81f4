#include "foundation/os/device_link.h"

#include "foundation/os/big_endian.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace DeviceLink {

namespace {

constexpr uint8_t open_tag = 'o';
constexpr uint8_t request_tag = 'r';
constexpr uint8_t posted_tag = 'p';
constexpr uint8_t answered_posted_tag = 'q';
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

bool PostedMessage::same_kind(const Request& request) const
{
    return run_count_ > 0 && run_count_ < UINT16_MAX && request.code == first_.code && request.inode == first_.inode &&
           request.size == first_.size && request.argument == first_.argument && request.value == first_.value;
}

bool PostedMessage::start_run(const Request& request)
{
    const size_t start = std::max<size_t>(length_, 1);
    if (request.size > max_record || start + posted_run_header + request_header + request.size > sizeof message_)
        return false;
    message_[0] = posted_tag;
    const size_t size = put_request(message_ + start + posted_run_header, request);
    BigEndian::put_u16(message_, start, 1);
    BigEndian::put_u16(message_, start + 2, static_cast<uint16_t>(size));
    run_ = start;
    run_count_ = 1;
    counting_ = false;
    length_ = start + posted_run_header + size;
    first_ = request;
    first_.record = message_ + start + posted_run_header + request_header;
    return true;
}

bool PostedMessage::counts_on(const Request& request) const
{
    // The run's last record is not in the message: it is the first's with the count added.
    return (counting_ || run_count_ == 1) && request.size >= 4 &&
           BigEndian::get_u32(request.record, 0) ==
               static_cast<uint32_t>(BigEndian::get_u32(first_.record, 0) + run_count_) &&
           std::memcmp(request.record + 4, first_.record + 4, request.size - 4) == 0;
}

void PostedMessage::count_on(size_t more)
{
    if (!counting_) {
        counting_ = true;
        const uint16_t first_length = BigEndian::get_u16(message_, run_ + 2);
        BigEndian::put_u16(message_, run_ + 2, static_cast<uint16_t>(first_length | counting_run));
    }
    run_count_ += more;
    BigEndian::put_u16(message_, run_, static_cast<uint16_t>(run_count_));
}

size_t PostedMessage::add_counting(const Request& first, size_t count)
{
    uint8_t record[max_record];  // the first record of the requests not taken yet
    Request rest = first;
    size_t taken = 0;
    while (taken < count) {
        if (taken > 0) {
            counted_record(first, taken, record);
            rest.record = record;
        }
        if (!same_kind(rest) || !counts_on(rest)) {
            if (!start_run(rest))
                break;
            ++taken;
        }
        const size_t more = std::min(count - taken, UINT16_MAX - run_count_);
        if (more > 0)
            count_on(more);
        taken += more;
    }
    return taken;
}

size_t PostedMessage::add(const Request& request, size_t count)
{
    Request next = request;
    size_t taken = 0;
    while (taken < count) {
        if (!same_kind(next) || counting_) {
            if (!start_run(next))
                break;
            next.record += next.size;
            ++taken;
            continue;
        }
        const size_t room = next.size ? (sizeof message_ - length_) / next.size : count;
        const size_t more = std::min({count - taken, room, UINT16_MAX - run_count_});
        if (more == 0)
            break;
        if (next.size > 0)
            std::memcpy(message_ + length_, next.record, more * next.size);
        next.record += more * next.size;
        length_ += more * next.size;
        run_count_ += more;
        taken += more;
        BigEndian::put_u16(message_, run_, static_cast<uint16_t>(run_count_));
    }
    return taken;
}

void counted_record(const Request& first, size_t index, uint8_t* record)
{
    std::memcpy(record, first.record, first.size);
    BigEndian::put_u32(record, 0, static_cast<uint32_t>(BigEndian::get_u32(first.record, 0) + index));
}

void PostedMessage::ask_reply()
{
    if (length_ > 0)
        message_[0] = answered_posted_tag;
}

bool is_posted(const uint8_t* message, size_t length)
{
    return length > 1 && length <= max_posted_message &&
           (message[0] == posted_tag || message[0] == answered_posted_tag);
}

bool is_answered(const uint8_t* message, size_t length)
{
    return is_posted(message, length) && message[0] == answered_posted_tag;
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
