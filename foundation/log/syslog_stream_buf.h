#pragma once

// A stream buffer that hands what a stream writes to the system library's syslog, one
// system-log line per text line.

#include <cstddef>
#include <memory>
#include <streambuf>

class SysLogStreamBuf : public std::streambuf {
public:
    // facility in the form of the syslog facility values (LOG_DAEMON is 24), level the severity.
    SysLogStreamBuf(int facility, int level);

protected:
    SysLogStreamBuf(int facility, int level, size_t area_size);

    // A length below 2 is ignored. Otherwise the waiting text goes out as a line of its own and
    // the caller's area takes over, its last byte kept for the terminating NUL.
    std::streambuf* setbuf(char* area, std::streamsize length) override;
    int sync() override;
    int_type overflow(int_type c) override;

    // Hands each line of the put area to log: every newline ends a line, and text after the last
    // one is a line of its own. Text without a newline waits for more (the result is then false)
    // unless it fills the area; then it goes out whole as one line.
    bool hand_out(void (*log)(int priority, const char* line));

private:
    void empty_area() { setp(pbase(), epptr()); }

    int priority_;
    std::unique_ptr<char[]> owned_area_;
};
