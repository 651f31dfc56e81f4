#pragma once

// The messages between the device API and the board emulator, one per SOCK_SEQPACKET record on the
// connection to the emulator's listening socket "/dev/board". The daemon sends an open or a driver
// request and waits for the reply; an open that succeeds carries the device's descriptor as
// SCM_RIGHTS. A request names its device by the inode of that descriptor, which every dup() shares.
// Posted requests, whose results nobody reads, travel several to a message and get no reply.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace DeviceLink {

// The fixed path of the emulator's listening socket.
constexpr const char* socket_path = "/dev/board";

constexpr size_t max_path = 256;
constexpr size_t max_record = 4096;
// An interface request travels as a driver request on the device named like the interface, its
// record the settings type, the buffer's size and the buffer, padded to this many bytes.
constexpr size_t interface_buffer = 128;
constexpr size_t interface_record = 8 + interface_buffer;

// How the argument of a driver request travels.
enum class Argument : uint8_t { none = 0, value = 1, record = 2 };

struct Open {
    uint32_t flags = 0;  // the open(2) flags the daemon asked for
    std::string_view path;
};

struct Request {
    Argument argument = Argument::none;
    uint32_t code = 0;
    uint64_t inode = 0;
    uint32_t value = 0;              // the by-value argument
    const uint8_t* record = nullptr;  // the record argument
    size_t size = 0;
};

struct Reply {
    int32_t result = 0;
    int32_t error = 0;  // errno of a failure, 0 on success
    const uint8_t* record = nullptr;  // the request's record as the driver left it
    size_t size = 0;
};

// Largest encoded messages, for the buffers of both ends.
constexpr size_t max_open_message = 5 + max_path;
constexpr size_t max_request_message = 18 + max_record;
constexpr size_t max_reply_message = 8 + max_record;

// A message of posted requests: a tag, then each request's own message behind its 16-bit length.
constexpr size_t max_posted_message = 16384;
constexpr size_t posted_entry_header = 2;

// Each encoder writes into a buffer of the matching maximum size and returns the message length.
// The caller keeps paths and records within the limits above.
size_t put_open(uint8_t* message, const Open& open);
size_t put_request(uint8_t* message, const Request& request);
size_t put_reply(uint8_t* message, const Reply& reply);
// Starts a message of posted requests; returns its length so far.
size_t put_posted_start(uint8_t* message);
// Appends a request to a message of posted requests of the given length, which has room for it;
// returns the new length.
size_t put_posted(uint8_t* message, size_t length, const Request& request);

// A decoded message points into the buffer it came from. False for another kind of message or a
// malformed one.
bool get_open(const uint8_t* message, size_t length, Open& open);
bool get_request(const uint8_t* message, size_t length, Request& request);
bool get_reply(const uint8_t* message, size_t length, Reply& reply);
// Whether the message holds posted requests; then each is handed to take in order, until the end
// or a malformed one (the result is then false).
template <class Take>
bool get_posted(const uint8_t* message, size_t length, Take take);
bool is_posted(const uint8_t* message, size_t length);

}  // namespace DeviceLink

template <class Take>
bool DeviceLink::get_posted(const uint8_t* message, size_t length, Take take)
{
    size_t at = 1;
    while (at < length) {
        Request request;
        size_t size = length - at < posted_entry_header ? 0 : size_t{message[at]} << 8 | message[at + 1];
        at += posted_entry_header;
        if (size == 0 || size > length - at || !get_request(message + at, size, request))
            return false;
        take(request);
        at += size;
    }
    return true;
}
