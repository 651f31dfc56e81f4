#pragma once

#include "support/temp_root.h"

#include <memory>
#include <string>
#include <vector>

#include <sys/socket.h>

namespace logtest {

// Stands in for the system log daemon: a socket bound at "<root>/dev/log".
class LogSocket {
public:
    explicit LogSocket(const testsupport::TempRoot& root, int type = SOCK_DGRAM);
    ~LogSocket();
    LogSocket(const LogSocket&) = delete;
    LogSocket& operator=(const LogSocket&) = delete;

    // The next datagram (for a stream socket: what arrives next), empty after the timeout.
    std::string receive(int timeout_ms = 10000);
    // The NUL-terminated messages of the next datagram.
    std::vector<std::string> messages(int timeout_ms = 10000);

private:
    int fd_ = -1;
    int type_;
    int connection_ = -1;
    std::string path_;
};

// Sets TZ to UTC while it lives.
class UtcZone {
public:
    UtcZone();
    ~UtcZone();

private:
    std::unique_ptr<std::string> saved_;
};

// The time stamp of a system-log line for the given time, "Mmm dd hh:mm:ss ".
std::string syslog_time(long seconds);

}  // namespace logtest
