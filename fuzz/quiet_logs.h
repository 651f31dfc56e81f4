#pragma once

// The standard streams of a fuzz target, swallowed: every log line is still formatted, so its
// code runs under the sanitizers, but nothing is written or kept.

#include <iostream>
#include <streambuf>

namespace fuzz {

class DiscardingBuffer : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

inline void quiet_logs()
{
    static DiscardingBuffer discarded;
    std::cout.rdbuf(&discarded);
    std::clog.rdbuf(&discarded);
    std::cerr.rdbuf(&discarded);
}

}  // namespace fuzz
