#pragma once

// Pooled, copy-on-write packets. A packet is a handle to one block of a static pool; the block
// holds a data window between head room (for headers pushed by lower layers) and tail room (for
// bodies and trailers). Copying a handle shares the block; the first change made through a
// handle while the block is shared moves that handle to a private copy. Misuse is fatal.

#include "foundation/packet/list_allocator.h"
#include "foundation/packet/smart_pointer.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>

constexpr unsigned packet_max_size = 65536;
constexpr uint32_t packet_pool_blocks = 1024;

// One pool block: reference count, window and buffer.
struct _Packet {
    // An empty window `headroom` bytes into the buffer.
    explicit _Packet(unsigned headroom);
    // The same window offsets as other; only the window's bytes are copied.
    _Packet(const _Packet& other);
    // count bytes of other's window from offset on, kept at the offsets they have in other.
    _Packet(const _Packet& other, unsigned offset, unsigned count);
    _Packet& operator=(const _Packet&) = delete;

    // Blocks come from the pool only; an empty pool raises std::bad_alloc.
    static void* operator new(size_t size);
    static void operator delete(void* block);

    unsigned char* buffer_end() { return buffer + packet_max_size; }
    const unsigned char* buffer_end() const { return buffer + packet_max_size; }
    bool window_valid() const;

    uint32_t ref_count = 0;
    unsigned char* fdata;
    unsigned char* ftail;
    unsigned char buffer[packet_max_size];
};

using Packet_pool = List_allocator<_Packet, packet_pool_blocks, Dummy_critical_section>;

// The last blocks of the pool are kept for what only passes through: controller and agent
// messages, frames from the lines and the links' own frames. Data that waits in a link's queue on
// the controller's behalf takes only the blocks above them, so that queues filling the pool refuse
// the next such command instead of leaving nothing to read or answer it with.
constexpr uint32_t packet_pool_reserve = 64;
// Whether n more blocks may go to data that is to wait in a queue.
bool packet_pool_can_queue(uint32_t n = 1);

class Packet : public Smart_pointer<_Packet> {
public:
    Packet() = default;
    using Smart_pointer<_Packet>::Smart_pointer;
    using Smart_pointer<_Packet>::operator=;

    // Mutable access: a null handle is fatal; a shared block is first copied.
    _Packet* operator->();
    const _Packet* operator->() const { return Smart_pointer<_Packet>::operator->(); }
    void prepare_for_modify();

    // Head room for headers: on a null handle a new block with an empty window n bytes in;
    // otherwise the window moves n bytes towards the buffer end (bytes are not moved).
    void reserve_head(unsigned n);
    // Tail room for trailers: the mirror image of reserve_head.
    void reserve_tail(unsigned n);

    unsigned length() const;
    unsigned headroom() const;
    unsigned tailroom() const;
    // The first byte of the window; null for a null handle.
    const unsigned char* data() const;

    void put(unsigned char byte);
    void put(const unsigned char* bytes, unsigned n);
    void put(const Packet& other);
    // One length octet, then at most 255 bytes of text.
    void put(const std::string& text);
    void put16_b(uint16_t value);
    void put16(uint16_t value);
    void push(unsigned char byte);
    void push16_b(uint16_t value);

    // The first byte, removed; 0 from an empty window.
    unsigned char pull();
    void pull(unsigned n);
    uint16_t pull16_b();
    uint16_t pull16_l();
    std::string pull_string();
    void trim(unsigned n);

    // Receiving in place: the tail room to fill, then the number of bytes that were put there.
    unsigned char* tail_space();
    void extend(unsigned n);

    unsigned char operator[](int index) const;
    // Bytes start ... start + len - 1 in a block of their own; this packet is unchanged.
    Packet sub(unsigned len, unsigned start) const;

    std::string text() const;
    bool dump(std::ostream& os) const;
    bool dump_context(std::ostream& os) const;

    void passert(bool condition, const char* message) const
    {
        if (!condition)
            assertion_failed(message);
    }
    void check(const char* where) const;
    [[noreturn]] static void check_fail(const char* format, ...)
        __attribute__((format(printf, 1, 2)));

private:
    [[noreturn]] void assertion_failed(const char* message) const;
};
