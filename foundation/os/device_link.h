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

// A message of posted requests: a tag, then runs of requests that differ only in their record,
// each a header (the count of its requests and the length of the first's own message, 16 bits
// each), the first request's own message and the records of the others. A counting run carries
// the first request alone: the others' records are its record with the leading 32-bit field
// (big-endian) one higher each, as the TDM switch's refresh walks its outputs; the top bit of the
// length marks it. The tag may ask for a reply once all are served, which tells the sender that
// nothing it does later can overtake them.
constexpr size_t max_posted_message = 131072;
constexpr size_t posted_run_header = 4;
constexpr uint16_t counting_run = 0x8000;

// Each encoder writes into a buffer of the matching maximum size and returns the message length.
// The caller keeps paths and records within the limits above.
size_t put_open(uint8_t* message, const Open& open);
size_t put_request(uint8_t* message, const Request& request);
size_t put_reply(uint8_t* message, const Reply& reply);

// A message of posted requests being built.
class PostedMessage {
public:
    PostedMessage() = default;
    // Not copied: the last run's first record is pointed at where this message holds it.
    PostedMessage(const PostedMessage&) = delete;
    PostedMessage& operator=(const PostedMessage&) = delete;

    bool empty() const { return length_ == 0; }
    const uint8_t* data() const { return message_; }
    size_t size() const { return length_; }
    // Appends `count` requests that differ only in their records, which follow each other from
    // request.record, as many as fit in; returns how many. One whose record is within max_record
    // always fits in an empty message.
    size_t add(const Request& request, size_t count = 1);
    // Appends `count` requests whose records are first.record (at least 4 bytes) with the leading
    // field one higher each, as many as fit in; returns how many. Such requests take a few octets
    // a run, whatever their count.
    size_t add_counting(const Request& first, size_t count);
    // Makes the message one that asks for a reply.
    void ask_reply();
    void clear() { length_ = run_count_ = 0; }

private:
    // Whether the request differs from the last run's first only in its record, and the run has
    // room for another.
    bool same_kind(const Request& request) const;
    bool start_run(const Request& request);
    // Whether the request is the next of the last run counted on, as that run is or may become.
    bool counts_on(const Request& request) const;
    // Makes the last run a counting one that holds `more` requests more.
    void count_on(size_t more);

    uint8_t message_[max_posted_message]{};
    size_t length_ = 0;
    size_t run_ = 0;        // where the last run begins
    size_t run_count_ = 0;  // its requests
    bool counting_ = false;
    Request first_;         // its first request; the record is where the message holds it
};

// A decoded message points into the buffer it came from. False for another kind of message or a
// malformed one.
bool get_open(const uint8_t* message, size_t length, Open& open);
bool get_request(const uint8_t* message, size_t length, Request& request);
bool get_reply(const uint8_t* message, size_t length, Reply& reply);
// Whether the message holds posted requests; then each run is handed to take(first request,
// count of its requests, counting) in order, until the end or a malformed run, which is not taken
// (the result is then false). The records of the others follow the first's, or for a counting run
// come from counted_record().
template <class Take>
bool get_posted(const uint8_t* message, size_t length, Take take);
bool is_posted(const uint8_t* message, size_t length);
// The record of the request `index` of a counting run whose first request is `first`, written to
// `record` (first.size bytes).
void counted_record(const Request& first, size_t index, uint8_t* record);
// Whether the message of posted requests asks for a reply.
bool is_answered(const uint8_t* message, size_t length);

}  // namespace DeviceLink

template <class Take>
bool DeviceLink::get_posted(const uint8_t* message, size_t length, Take take)
{
    size_t at = 1;
    while (at < length) {
        if (length - at < posted_run_header)
            return false;
        const size_t count = size_t{message[at]} << 8 | message[at + 1];
        const size_t marked = size_t{message[at + 2]} << 8 | message[at + 3];
        const bool counting = marked & counting_run;
        const size_t first = marked & ~size_t{counting_run};
        at += posted_run_header;
        Request request;
        if (count == 0 || first > length - at || !get_request(message + at, first, request))
            return false;
        at += first;
        if (counting && request.size < 4)
            return false;
        const size_t others = counting ? 0 : (count - 1) * request.size;
        if (others > length - at)
            return false;
        take(request, count, counting);
        at += others;
    }
    return true;
}
