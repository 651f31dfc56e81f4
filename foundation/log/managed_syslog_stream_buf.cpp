#include "foundation/log/managed_syslog_stream_buf.h"

#include "foundation/log/syslog_manager.h"

#include <cstring>

ManagedSysLogStreamBuf::ManagedSysLogStreamBuf(int facility, int level)
    : priority_(facility | level), area_(new char[area_size])
{
    empty_area();
}

int ManagedSysLogStreamBuf::sync()
{
    char* text = pbase();
    char* end = pptr();
    *end = 0;
    bool has_newline = std::memchr(text, '\n', size_t(end - text)) != nullptr;
    if (!has_newline && end < epptr())
        return 0;
    while (char* newline = static_cast<char*>(std::memchr(text, '\n', size_t(end - text)))) {
        *newline = 0;
        syslogManager.syslog(priority_, text);
        text = newline + 1;
    }
    if (text < end)
        syslogManager.syslog(priority_, text);
    empty_area();
    syslogManager.sendmsg();
    return 0;
}

ManagedSysLogStreamBuf::int_type ManagedSysLogStreamBuf::overflow(int_type c)
{
    sync();
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    // sync has always emptied a full area.
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}
