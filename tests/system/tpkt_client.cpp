#include "tpkt_client.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>

namespace systemtest {

TpktClient::TpktClient(int port)
{
    if (!connection_.connect_to(port))
        throw std::runtime_error("cannot connect to port " + std::to_string(port));
}

void TpktClient::send_raw(const Bytes& bytes)
{
    if (send(connection_.fd(), bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("cannot send to the daemon: " + std::string(std::strerror(errno)));
}

bool TpktClient::fill(std::chrono::steady_clock::time_point deadline)
{
    if (ended_)
        return false;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd ready{connection_.fd(), POLLIN, 0};
    int polled = poll(&ready, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
    if (polled <= 0)
        return polled == 0 || errno == EINTR;
    uint8_t buffer[4096];
    ssize_t length = recv(connection_.fd(), buffer, sizeof buffer, 0);
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
