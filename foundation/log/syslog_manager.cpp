#include "foundation/log/syslog_manager.h"

#include "foundation/os/fixed_path.h"
#include "foundation/reactor/clock.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/uio.h>
#include <syslog.h>
#include <type_traits>
#include <unistd.h>

static_assert(std::is_trivially_destructible<SysLogManager>::value, "the log client must outlive every stream");

SysLogManager syslogManager;

namespace {

// One write for the text and its ending, so that other writers cannot come between them.
void write_line(int fd, const char* text, size_t length, const char* ending)
{
    iovec parts[2] = {{const_cast<char*>(text), length}, {const_cast<char*>(ending), std::strlen(ending)}};
    ::writev(fd, parts, 2);
}

}  // namespace

void SysLogManager::openlog(const char* ident, int options, int facility)
{
    if (ident) {
        std::strncpy(ident_, ident, sizeof ident_ - 1);
        ident_[sizeof ident_ - 1] = 0;
    }
    options_ = options;
    if (facility != 0 && (facility & ~LOG_FACMASK) == 0)
        facility_ = facility;
    connect();
}

void SysLogManager::closelog()
{
    disconnect();
    std::strcpy(ident_, "syslog-qx");
    type_ = SOCK_DGRAM;
    bytes_ = lines_ = 0;
}

void SysLogManager::syslog(int priority, const char* text)
{
    if (!(LOG_MASK(LOG_PRI(priority)) & mask_))
        return;
    if ((priority & LOG_FACMASK) == 0)
        priority |= facility_;
    size_t from_ident;
    const size_t length = format(priority, text, from_ident);
    const char* tail = line_ + from_ident;
    if (options_ & LOG_PERROR)
        write_line(STDERR_FILENO, tail, length - from_ident, length > 0 && line_[length - 1] == '\n' ? "" : "\n");
    if (!connected_)
        openlog(nullptr, options_ | LOG_NDELAY, 0);
    if (connected_ && queue(length + 1))
        return;
    ++dropped_;
    if (!(options_ & LOG_CONS))
        return;
    int console = ::open(fixed_path("/dev/console").c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (console >= 0) {
        write_line(console, tail, length - from_ident, "\r\n");
        ::close(console);
    }
}

long SysLogManager::sendmsg()
{
    if (bytes_ == 0)
        return 0;
    long result = send();
    if (result < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        // The log daemon may have been restarted: a fresh connection gets one more try.
        disconnect();
        connect();
        result = send();
    }
    if (result < 0) {
        dropped_ += lines_;
        bytes_ = rest_;
    } else {
        // A stream socket may take a part only: the framing needs the rest to go out first.
        bytes_ -= size_t(result);
        std::memmove(batch_, batch_ + result, bytes_);
    }
    rest_ = bytes_;
    lines_ = 0;
    return result;
}

void SysLogManager::connect()
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (fd_ < 0) {
            if (!(options_ & LOG_NDELAY))
                return;
            std::string path = fixed_path("/dev/log");
            if (path.size() >= sizeof address_.sun_path)
                return;
            address_.sun_family = AF_UNIX;
            std::strcpy(address_.sun_path, path.c_str());
            address_length_ = socklen_t(offsetof(sockaddr_un, sun_path) + path.size() + 1);
            fd_ = ::socket(AF_UNIX, type_ | SOCK_CLOEXEC, 0);
            if (fd_ < 0)
                return;
        }
        if (connected_)
            return;
        if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address_), address_length_) == 0) {
            connected_ = true;
            return;
        }
        int error = errno;
        disconnect();
        if (error != EPROTOTYPE)
            return;
        type_ = type_ == SOCK_DGRAM ? SOCK_STREAM : SOCK_DGRAM;
    }
}

void SysLogManager::disconnect()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    connected_ = false;
    // A new connection cannot finish a message begun on this one.
    bytes_ -= rest_;
    std::memmove(batch_, batch_ + rest_, bytes_);
    rest_ = 0;
}

bool SysLogManager::queue(size_t length)
{
    // A full batch goes out first, so that the new line finds room.
    if (lines_ == batch_lines || bytes_ + length >= batch_size)
        sendmsg();
    // The send may have lost the connection, or left a rest that still takes the room.
    if (!connected_ || bytes_ + length >= batch_size)
        return false;
    std::memcpy(batch_ + bytes_, line_, length);
    bytes_ += length;
    ++lines_;
    if (lines_ == batch_lines || bytes_ >= batch_send_bytes)
        sendmsg();
    return true;
}

// Descriptors 1 and 2 share the socket's file status with child programs, so the socket itself
// stays blocking and only our own sends are not.
long SysLogManager::send()
{
    if (fd_ < 0) {
        errno = ENOTCONN;
        return -1;
    }
    return ::send(fd_, batch_, bytes_, MSG_DONTWAIT | MSG_NOSIGNAL);
}

size_t SysLogManager::format(int priority, const char* text, size_t& from_ident)
{
    const size_t limit = sizeof line_ - 1;
    size_t length = 0;
    auto append = [&](const char* piece) {
        size_t n = std::min(std::strlen(piece), limit - length);
        std::memcpy(line_ + length, piece, n);
        length += n;
    };
    char number[24];
    std::snprintf(number, sizeof number, "<%d>", priority);
    append(number);
    std::time_t seconds = Mux::seconds();
    std::tm local;
    localtime_r(&seconds, &local);
    length += std::strftime(line_ + length, limit + 1 - length, "%h %e %T ", &local);
    from_ident = length;
    append(ident_);
    if (options_ & LOG_PID) {
        std::snprintf(number, sizeof number, "[%d]", int(getpid()));
        append(number);
    }
    if (*ident_)
        append(": ");
    append(text);
    line_[length] = 0;
    return length;
}
