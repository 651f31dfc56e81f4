#pragma once

// The emulator's record of what the daemon asked of the board: one line per open, close, write
// and driver request, "<ms> <device> <request> [<fields>] -> <result>", the time counted in
// milliseconds from the emulator's start. It keeps the latest entries only, so a daemon that runs
// for days cannot grow it without bound.

#include <chrono>
#include <cstddef>
#include <deque>
#include <string>

namespace Emulator {

class Journal {
public:
    explicit Journal(size_t capacity = 100000);

    void add(const std::string& device, const std::string& request, const std::string& fields,
             const std::string& result);
    const std::deque<std::string>& entries() const { return entries_; }
    void clear() { entries_.clear(); }

private:
    std::chrono::steady_clock::time_point start_;
    size_t capacity_;
    std::deque<std::string> entries_;
};

}  // namespace Emulator
