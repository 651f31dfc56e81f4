#pragma once

// A stream buffer that hands what a stream writes to the log client, one system-log line per
// text line, and sends all lines of one flush together in one message.

#include <memory>
#include <streambuf>

class ManagedSysLogStreamBuf : public std::streambuf {
public:
    // facility in the form of the syslog facility values (LOG_DAEMON is 24), level the severity.
    ManagedSysLogStreamBuf(int facility, int level);

protected:
    // Every newline ends a line, and text after the last one is a line of its own. Text without
    // a newline waits for more unless it fills the buffer; then it goes out whole as one line.
    int sync() override;
    int_type overflow(int_type c) override;

private:
    // One byte beyond the put area holds the terminating NUL of the last line.
    static constexpr size_t area_size = 16384;

    void empty_area() { setp(area_.get(), area_.get() + area_size - 1); }

    int priority_;
    std::unique_ptr<char[]> area_;
};
