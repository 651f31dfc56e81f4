#pragma once

// The process's own client of the system log socket "/dev/log". Lines are formatted in the
// traditional form "<priority>Mmm dd hh:mm:ss ident[pid]: text" (the pid with LOG_PID) and
// queued, so that all lines of one stream flush leave in one message, each with its terminating
// NUL. LOG_PERROR copies each line to descriptor 2; with LOG_CONS a line that cannot be
// delivered goes to "/dev/console".
//
// A stalled log daemon must not stall the process: messages are sent without blocking and
// what cannot be sent is dropped and counted. On a stream socket a message is never cut: what
// the socket did not take goes out before anything else.

#include <cstddef>
#include <sys/socket.h>
#include <sys/un.h>

class SysLogManager {
public:
    // Nothing here needs a destructor, so that streams flushed at process exit can still log.
    constexpr SysLogManager() = default;
    SysLogManager(const SysLogManager&) = delete;
    SysLogManager& operator=(const SysLogManager&) = delete;

    // A non-null ident (cut to 79 characters) replaces the current one; a facility of the
    // syslog form replaces the default one. The socket is made only with LOG_NDELAY; then the
    // client connects, switching between datagram and stream when the log socket is the other kind.
    void openlog(const char* ident, int options, int facility);
    void closelog();

    // Formats the literal text (never a format string) as one line, cut at 1023 bytes, and
    // queues it; a line without connection is dropped, and each line tries to connect again.
    void syslog(int priority, const char* text);
    // Sends the queued lines in one message and empties the queue, but for what a stream socket
    // did not take. The result is that of the send, 0 when nothing was queued.
    long sendmsg();

    int fd() const { return fd_; }
    bool connected() const { return connected_; }
    // Lines that could not be delivered.
    unsigned long dropped() const { return dropped_; }

private:
    static constexpr size_t line_size = 1024;
    static constexpr size_t batch_size = 16384;
    static constexpr size_t batch_lines = 256;
    // A batch this full goes out at once rather than wait for the end of the flush.
    static constexpr size_t batch_send_bytes = 12289;

    void connect();
    void disconnect();
    bool queue(size_t length);
    long send();
    // Formats line_ and returns its length; from_ident is where the part after the time starts.
    size_t format(int priority, const char* text, size_t& from_ident);

    int type_ = SOCK_DGRAM;
    int fd_ = -1;
    bool connected_ = false;
    int options_ = 0;
    char ident_[80] = "syslog-qx";
    int facility_ = 8;  // LOG_USER
    // One bit per severity that is logged.
    const int mask_ = 0xff;
    sockaddr_un address_{};
    socklen_t address_length_ = 0;
    char line_[line_size]{};
    char batch_[batch_size]{};
    size_t bytes_ = 0;
    size_t lines_ = 0;
    // The first bytes of the batch: the rest of a message a stream socket took only in part.
    size_t rest_ = 0;
    unsigned long dropped_ = 0;
};

extern SysLogManager syslogManager;
