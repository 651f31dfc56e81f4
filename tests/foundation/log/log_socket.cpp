#include "log_socket.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <stdexcept>

#include <poll.h>
#include <sys/un.h>
#include <unistd.h>

namespace logtest {

LogSocket::LogSocket(const testsupport::TempRoot& root, int type) : type_(type), path_(root.prepare("/dev/log"))
{
    fd_ = ::socket(AF_UNIX, type | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("cannot bind the log socket " + path_);
    if (type == SOCK_STREAM)
        ::listen(fd_, 1);
}

LogSocket::~LogSocket()
{
    if (connection_ >= 0)
        ::close(connection_);
    ::close(fd_);
    ::unlink(path_.c_str());
}

std::string LogSocket::receive(int timeout_ms)
{
    pollfd ready{fd_, POLLIN, 0};
    if (type_ == SOCK_STREAM && connection_ < 0) {
        if (::poll(&ready, 1, timeout_ms) != 1)
            return std::string();
        connection_ = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    }
    ready.fd = type_ == SOCK_STREAM ? connection_ : fd_;
    if (::poll(&ready, 1, timeout_ms) != 1)
        return std::string();
    std::string data(65536, '\0');
    ssize_t n = ::recv(ready.fd, &data[0], data.size(), 0);
    data.resize(n > 0 ? size_t(n) : 0);
    return data;
}

std::vector<std::string> LogSocket::messages(int timeout_ms)
{
    std::string data = receive(timeout_ms);
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t end; (end = data.find('\0', start)) != std::string::npos; start = end + 1)
        out.push_back(data.substr(start, end - start));
    if (start < data.size())
        out.push_back(data.substr(start) + "<no NUL>");
    return out;
}

UtcZone::UtcZone()
{
    if (const char* tz = std::getenv("TZ"))
        saved_ = std::make_unique<std::string>(tz);
    setenv("TZ", "UTC", 1);
    tzset();
}

UtcZone::~UtcZone()
{
    if (saved_)
        setenv("TZ", saved_->c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

std::string syslog_time(long seconds)
{
    std::time_t time = seconds;
    std::tm local;
    localtime_r(&time, &local);
    char text[32];
    std::strftime(text, sizeof text, "%h %e %T ", &local);
    return text;
}

}  // namespace logtest
