#include "tpkt_client.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace systemtest {

TpktClient::TpktClient(int port, std::chrono::milliseconds timeout)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd_ < 0)
            throw std::runtime_error("cannot create a socket: " + std::string(std::strerror(errno)));
        if (connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            return;
        int error = errno;
        close(fd_);
        fd_ = -1;
        if (std::chrono::steady_clock::now() > deadline)
            throw std::runtime_error("cannot connect to port " + std::to_string(port) + ": " + std::strerror(error));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

TpktClient::~TpktClient()
{
    if (fd_ >= 0)
        close(fd_);
}

void TpktClient::send_raw(const Bytes& bytes)
{
    if (send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("cannot send to the daemon: " + std::string(std::strerror(errno)));
}

void TpktClient::send_payload(const Bytes& payload)
{
    size_t length = payload.size() + 4;
    Bytes frame{3, 0, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
    frame.insert(frame.end(), payload.begin(), payload.end());
    send_raw(frame);
}

bool TpktClient::fill(std::chrono::steady_clock::time_point deadline)
{
    if (ended_)
        return false;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd ready{fd_, POLLIN, 0};
    int polled = poll(&ready, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
    if (polled <= 0)
        return polled == 0 || errno == EINTR;
    uint8_t buffer[4096];
    ssize_t length = recv(fd_, buffer, sizeof buffer, 0);
    if (length <= 0) {
        ended_ = true;
        return false;
    }
    received_.insert(received_.end(), buffer, buffer + length);
    return true;
}

std::optional<Bytes> TpktClient::receive_frame(std::chrono::milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (received_.size() >= 4) {
            size_t length = size_t{received_[2]} << 8 | received_[3];
            if (length >= 4 && received_.size() >= length) {
                Bytes frame(received_.begin(), received_.begin() + length);
                received_.erase(received_.begin(), received_.begin() + length);
                return frame;
            }
        }
        if (std::chrono::steady_clock::now() >= deadline || !fill(deadline))
            return std::nullopt;
    }
}

bool TpktClient::closed_by_peer(std::chrono::milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!ended_ && std::chrono::steady_clock::now() < deadline) {
        fill(deadline);
        received_.clear();
    }
    return ended_;
}

std::string hex(const Bytes& bytes)
{
    std::string text;
    char digits[4];
    for (uint8_t byte : bytes) {
        std::snprintf(digits, sizeof digits, text.empty() ? "%02X" : " %02X", byte);
        text += digits;
    }
    return text;
}

}  // namespace systemtest
