#include "tpkt_client.h"

#include "support/controller_pair.h"

#include <cstdio>
#include <poll.h>

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

std::optional<Bytes> TpktClient::receive_frame(testsupport::milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    std::optional<Bytes> frame;
    while (!(frame = testsupport::take_frame(received_))) {
        auto left = std::chrono::duration_cast<testsupport::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd ready{connection_.fd(), POLLIN, 0};
        uint8_t buffer[4096];
        ssize_t got = 0;
        if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) != 1 ||
            (got = recv(connection_.fd(), buffer, sizeof buffer, 0)) <= 0)
            break;
        received_.insert(received_.end(), buffer, buffer + got);
    }
    return frame;
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

bool answered_ping(int port, testsupport::milliseconds timeout)
{
    return testsupport::eventually(
        [port] {
            TpktClient client(port);
            client.send_raw(ping_frame);
            for (std::optional<Bytes> frame; (frame = client.receive_frame(testsupport::milliseconds(10000)));)
                if (hex(*frame) == ping_answer)
                    return true;
            return false;
        },
        timeout);
}

}  // namespace systemtest
