#include "foundation/log/syslog_stream_buf.h"

#include <cstring>
#include <syslog.h>

SysLogStreamBuf::SysLogStreamBuf(int facility, int level) : SysLogStreamBuf(facility, level, 1024) {}

// One byte beyond the put area holds the terminating NUL of the last line.
SysLogStreamBuf::SysLogStreamBuf(int facility, int level, size_t area_size)
    : priority_(facility | level), owned_area_(new char[area_size])
{
    setp(owned_area_.get(), owned_area_.get() + area_size - 1);
}

std::streambuf* SysLogStreamBuf::setbuf(char* area, std::streamsize length)
{
    if (length < 2)
        return this;
    if (pptr() > pbase()) {
        // The area counts as full, so that sync does not leave the text behind in it.
        char* end = pptr();
        setp(pbase(), end);
        pbump(int(end - pbase()));
        sync();
    }
    owned_area_.reset();
    setp(area, area + length - 1);
    return this;
}

int SysLogStreamBuf::sync()
{
    // Literal text: a line is never taken as a format.
    hand_out([](int priority, const char* line) { ::syslog(priority, "%s", line); });
    return 0;
}

SysLogStreamBuf::int_type SysLogStreamBuf::overflow(int_type c)
{
    // sync always empties a full area, so the character fits afterwards.
    sync();
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    return sputc(traits_type::to_char_type(c));
}

bool SysLogStreamBuf::hand_out(void (*log)(int priority, const char* line))
{
    char* text = pbase();
    char* end = pptr();
    *end = 0;
    if (!std::memchr(text, '\n', size_t(end - text)) && end < epptr())
        return false;
    while (char* newline = static_cast<char*>(std::memchr(text, '\n', size_t(end - text)))) {
        *newline = 0;
        log(priority_, text);
        text = newline + 1;
    }
    if (text < end)
        log(priority_, text);
    empty_area();
    return true;
}
