#include "foundation/log/log_file_stream_buf.h"

#include "foundation/reactor/clock.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

LogFileStreamBuf::LogFileStreamBuf(const std::string& directory) : directory_(directory)
{
    setp(area_, area_ + sizeof area_);
    Mux::timeval now;
    Mux::gettimeval(now);
    open_for(now.tv_sec);
}

LogFileStreamBuf::~LogFileStreamBuf() { sync(); }

void LogFileStreamBuf::open_for(std::time_t seconds)
{
    std::tm local;
    localtime_r(&seconds, &local);
    char name[32];
    std::strftime(name, sizeof name, "%Y_%m_%d-%H", &local);
    if (name_ == name && file_.is_open())
        return;
    name_ = name;
    file_.close();
    file_.open(directory_ + "/" + name_ + ".log", std::ios::out | std::ios::app | std::ios::binary);
}

int LogFileStreamBuf::sync()
{
    const char* text = pbase();
    const char* end = pptr();
    empty_area();
    if (mid_line_) {
        const char* newline = std::find(text, end, '\n');
        if (newline == end) {
            write(text, end);
            file_.pubsync();
            return 0;
        }
        write(text, newline + 1);
        text = newline + 1;
        mid_line_ = false;
    }
    Mux::timeval now;
    Mux::gettimeval(now);
    open_for(now.tv_sec);
    std::tm local;
    localtime_r(&now.tv_sec, &local);
    char prefix[32];
    int prefix_length =
        std::snprintf(prefix, sizeof prefix, "%02d:%02d:%05ld: ", local.tm_min, local.tm_sec, long(now.tv_usec));
    while (text < end) {
        const char* newline = std::find(text, end, '\n');
        write(prefix, prefix + prefix_length);
        if (newline == end) {
            write(text, end);
            mid_line_ = true;
            break;
        }
        write(text, newline + 1);
        text = newline + 1;
    }
    file_.pubsync();
    return 0;
}

std::streambuf* LogFileStreamBuf::setbuf(char* area, std::streamsize length)
{
    if (length < 2)
        return this;
    sync();
    setp(area, area + length);
    return this;
}

LogFileStreamBuf::int_type LogFileStreamBuf::overflow(int_type c)
{
    // sync always empties a full area, so the character fits afterwards.
    sync();
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    return sputc(traits_type::to_char_type(c));
}
