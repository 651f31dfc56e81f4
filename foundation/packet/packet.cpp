#include "foundation/packet/packet.h"

#include "foundation/packet/packet_info.h"

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <new>

_Packet::_Packet(unsigned headroom) : fdata(buffer + headroom), ftail(buffer + headroom) {}

_Packet::_Packet(const _Packet& other) : _Packet(other, 0, unsigned(other.ftail - other.fdata)) {}

_Packet::_Packet(const _Packet& other, unsigned offset, unsigned count)
    : _Packet(unsigned(other.fdata - other.buffer) + offset)
{
    std::memcpy(fdata, other.fdata + offset, count);
    ftail = fdata + count;
}

void* _Packet::operator new(size_t)
{
    void* block = Packet_pool::allocate();
    if (!block)
        throw std::bad_alloc();
    return block;
}

void _Packet::operator delete(void* block) { Packet_pool::deallocate(block); }

bool packet_pool_can_queue(uint32_t n) { return Packet_pool::available() >= packet_pool_reserve + uint64_t(n); }

bool _Packet::window_valid() const
{
    auto at = [](const unsigned char* p) { return reinterpret_cast<uintptr_t>(p); };
    return at(buffer) <= at(fdata) && at(fdata) <= at(ftail) && at(ftail) <= at(buffer_end());
}

namespace {

[[noreturn]] void pointer_assertion(const char* text)
{
    std::clog << text << std::endl;
    std::terminate();
}

}  // namespace

void SmartPtrAssertion() { pointer_assertion("SMART POINTER ASSERTION!"); }

void SharedPtrAssertion() { pointer_assertion("SHARED POINTER ASSERTION!"); }

_Packet* Packet::operator->()
{
    if (!object_)
        SmartPtrAssertion();
    prepare_for_modify();
    return object_;
}

void Packet::prepare_for_modify()
{
    if (!object_ || object_->ref_count <= 1)
        return;
    _Packet* copy = new _Packet(*object_);
    --object_->ref_count;
    object_ = copy;
    copy->ref_count = 1;
}

void Packet::reserve_head(unsigned n)
{
    passert(n <= packet_max_size, "length>packet_max_size");
    if (is_null()) {
        *this = new _Packet(n);
        return;
    }
    // The whole window moves, so it must still end inside the block.
    passert(n <= tailroom(), "new_len>packet_max_size");
    _Packet* block = operator->();
    block->fdata += n;
    block->ftail += n;
}

void Packet::reserve_tail(unsigned n)
{
    passert(n <= packet_max_size, "len>packet_max_size");
    if (is_null()) {
        *this = new _Packet(packet_max_size - n);
        return;
    }
    passert(n <= headroom(), "_tailroom()+len <= packet_max_size");
    _Packet* block = operator->();
    block->fdata -= n;
    block->ftail -= n;
}

unsigned Packet::length() const { return object_ ? unsigned(object_->ftail - object_->fdata) : 0; }

unsigned Packet::headroom() const { return object_ ? unsigned(object_->fdata - object_->buffer) : 0; }

unsigned Packet::tailroom() const { return object_ ? unsigned(object_->buffer_end() - object_->ftail) : 0; }

const unsigned char* Packet::data() const { return object_ ? object_->fdata : nullptr; }

void Packet::put(unsigned char byte)
{
    passert(!is_null(), "null packet");
    passert(tailroom() >= 1, "len<=_tailroom()");
    _Packet* block = operator->();
    ++block->ftail;
    check("put");
    block->ftail[-1] = byte;
}

void Packet::put(const unsigned char* bytes, unsigned n)
{
    passert(!is_null(), "null packet");
    passert(n <= tailroom(), "len<=_tailroom()");
    if (n == 0)
        return;
    // The source may lie in this very block (appending a packet to itself) or in the block this
    // handle leaves on copy-on-write; that block stays held by its other handles, and the
    // destination is past the window, so the ranges never overlap.
    _Packet* block = operator->();
    unsigned char* at = block->ftail;
    block->ftail += n;
    check("put");
    std::memcpy(at, bytes, n);
}

void Packet::put(const Packet& other)
{
    const unsigned n = other.length();
    if (n == 0)
        return;
    put(other.data(), n);
}

void Packet::put(const std::string& text)
{
    const unsigned n = unsigned(std::min<size_t>(text.size(), 255));
    put(static_cast<unsigned char>(n));
    put(reinterpret_cast<const unsigned char*>(text.data()), n);
}

void Packet::put16_b(uint16_t value)
{
    put(static_cast<unsigned char>(value >> 8));
    put(static_cast<unsigned char>(value));
}

void Packet::put16(uint16_t value)
{
    put(static_cast<unsigned char>(value));
    put(static_cast<unsigned char>(value >> 8));
}

void Packet::push(unsigned char byte)
{
    passert(!is_null(), "null packet");
    passert(headroom() >= 1, "len<=_headroom()");
    _Packet* block = operator->();
    --block->fdata;
    check("push");
    *block->fdata = byte;
}

void Packet::push16_b(uint16_t value)
{
    push(static_cast<unsigned char>(value));
    push(static_cast<unsigned char>(value >> 8));
}

unsigned char Packet::pull()
{
    passert(!is_null(), "null packet");
    if (length() == 0)
        return 0;
    _Packet* block = operator->();
    return *block->fdata++;
}

void Packet::pull(unsigned n)
{
    passert(n <= length(), "len<=_length()");
    if (n == 0)
        return;
    operator->()->fdata += n;
}

uint16_t Packet::pull16_b()
{
    const unsigned high = pull();
    return uint16_t(high << 8 | pull());
}

uint16_t Packet::pull16_l()
{
    const unsigned low = pull();
    return uint16_t(pull() << 8 | low);
}

std::string Packet::pull_string()
{
    const unsigned n = pull();
    std::string text;
    text.reserve(n);
    for (unsigned i = 0; i < n; ++i)
        text.push_back(char(pull()));
    return text;
}

void Packet::trim(unsigned n)
{
    passert(n <= length(), "len<=_length()");
    if (n == 0)
        return;
    operator->()->ftail -= n;
    check("trim");
}

unsigned char* Packet::tail_space()
{
    passert(!is_null(), "null packet");
    return operator->()->ftail;
}

void Packet::extend(unsigned n)
{
    passert(!is_null(), "null packet");
    passert(n <= tailroom(), "len<=_tailroom()");
    operator->()->ftail += n;
    check("put");
}

unsigned char Packet::operator[](int index) const
{
    passert(index >= 0 && unsigned(index) < length(), "index out of range");
    return object_->fdata[index];
}

Packet Packet::sub(unsigned len, unsigned start) const
{
    passert(!is_null(), "null packet");
    passert(start <= length(), "start<=_length()");
    passert(len <= length() - start, "start+len<=_length()");
    return Packet(new _Packet(*object_, start, len));
}

std::string Packet::text() const
{
    if (!object_)
        return "(null)";
    if (!object_->window_valid())
        return "(bad)";
    std::string out;
    char digits[4];
    for (const unsigned char* p = object_->fdata; p != object_->ftail; ++p) {
        std::snprintf(digits, sizeof digits, "%02X", *p);
        if (!out.empty())
            out += ' ';
        out += digits;
    }
    return out;
}

bool Packet::dump(std::ostream& os) const
{
    if (!object_)
        return false;
    os << std::dec << "head=" << headroom() << ", data=" << length() << ", tail=" << tailroom();
    return true;
}

bool Packet::dump_context(std::ostream& os) const
{
    if (!object_ || !object_->window_valid())
        return false;
    os.width(2);
    if (length() == 0)
        return true;
    os << "dump:";
    for (const unsigned char* p = object_->fdata; p != object_->ftail; ++p)
        os << ' ' << std::hex << unsigned(*p);
    os << std::dec;
    return true;
}

void Packet::check(const char* where) const
{
    if (!object_)
        check_fail("after \"%s\" packet is null", where);
    auto at = [](const unsigned char* p) { return reinterpret_cast<uintptr_t>(p); };
    const uintptr_t first = at(object_->buffer);
    const uintptr_t last = at(object_->buffer_end());
    if (at(object_->fdata) < first || at(object_->fdata) > last)
        check_fail("after \"%s\" fdata invalid", where);
    if (at(object_->ftail) < first || at(object_->ftail) > last)
        check_fail("after \"%s\" ftail invalid", where);
    if (at(object_->fdata) > at(object_->ftail))
        check_fail("after \"%s\" fdata>ftail", where);
}

void Packet::check_fail(const char* format, ...)
{
    char message[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    std::clog << "packet check fail" << std::endl << message << std::endl << "terminate." << std::endl;
    std::terminate();
}

void Packet::assertion_failed(const char* message) const
{
    std::clog << "PACKET ASSERTION FAILED!" << std::endl
              << message << std::endl
              << PacketInfo(*this) << std::endl;
    std::terminate();
}
