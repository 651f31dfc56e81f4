#include "tools/controller/controller_link.h"

#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr size_t header_size = 4;
constexpr size_t largest_frame = 65535;

}  // namespace

ControllerLink::~ControllerLink()
{
    if (fd_ >= 0)
        close(fd_);
}

bool ControllerLink::Connect(const std::string& host, const std::string& port)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (int failed = getaddrinfo(host.c_str(), port.c_str(), &hints, &found)) {
        error_ = gai_strerror(failed);
        return false;
    }
    for (addrinfo* address = found; address && fd_ < 0; address = address->ai_next) {
        fd_ = socket(address->ai_family, address->ai_socktype | SOCK_CLOEXEC, address->ai_protocol);
        if (fd_ < 0) {
            error_ = std::strerror(errno);
            continue;
        }
        if (connect(fd_, address->ai_addr, address->ai_addrlen) != 0) {
            error_ = std::strerror(errno);
            close(fd_);
            fd_ = -1;
        }
    }
    freeaddrinfo(found);
    if (fd_ < 0)
        return false;
    int on = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return true;
}

bool ControllerLink::Send(const Payload& payload)
{
    size_t length = payload.size() + header_size;
    if (length > largest_frame) {
        error_ = "message too long for a frame";
        return false;
    }
    Payload frame{3, 0, static_cast<char>(length >> 8), static_cast<char>(length)};
    frame.insert(frame.end(), payload.begin(), payload.end());
    for (size_t sent = 0; sent < frame.size();) {
        ssize_t written = send(fd_, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0) {
            error_ = std::strerror(errno);
            return false;
        }
        sent += written;
    }
    return true;
}

bool ControllerLink::Receive(std::vector<Payload>& payloads)
{
    char buffer[65536];
    ssize_t length = recv(fd_, buffer, sizeof buffer, 0);
    if (length < 0 && errno == EINTR)
        return true;
    bool open = length > 0;
    if (length == 0)
        error_ = "connection closed by the gateway";
    else if (length < 0)
        error_ = std::strerror(errno);
    else
        received_.insert(received_.end(), buffer, buffer + length);

    while (received_.size() >= header_size) {
        auto byte = [this](size_t index) { return static_cast<unsigned char>(received_[index]); };
        size_t frame = size_t{byte(2)} << 8 | byte(3);
        if (byte(0) != 3 || byte(1) != 0 || frame < header_size) {
            error_ = "not a TPKT frame";
            return false;
        }
        if (received_.size() < frame)
            break;
        payloads.emplace_back(received_.begin() + header_size, received_.begin() + frame);
        received_.erase(received_.begin(), received_.begin() + frame);
    }
    return open;
}
