#pragma once

// What the soak reads of the running daemon from outside: its resident memory, descriptors, child
// processes and CPU time from /proc, and its own count of slots and packets in use from the status
// dump that SIGUSR2 makes it write.

#include <string>
#include <sys/types.h>

namespace soak {

struct DaemonFigures {
    long rss_kib = -1;
    long peak_rss_kib = -1;
    long descriptors = -1;
    long children = -1;
    long slots = -1;
    long packets = -1;  // pool blocks in use
};

class DaemonProbe {
public:
    DaemonProbe(pid_t pid, std::string root) : pid_(pid), root_(std::move(root)) {}

    // The figures from /proc and a fresh status dump; those the dump did not give stay -1.
    DaemonFigures figures() const;
    // User and system CPU time so far, in seconds.
    double cpu_seconds() const;
    // Whether the daemon runs with AddressSanitizer, whose quarantine keeps freed memory resident.
    bool sanitized() const;

private:
    // Waits for the dump that SIGUSR2 asks for; empty when none comes in 10 s.
    std::string status_dump() const;

    pid_t pid_;
    std::string root_;
};

std::string describe(const DaemonFigures& figures);

}  // namespace soak
