#pragma once

// A controller at the byte level: one TCP connection to the daemon on loopback that sends raw
// bytes and takes TPKT frames apart, so that a test can compare what is on the wire with what it
// expects without going through the message coder.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace systemtest {

using Bytes = std::vector<uint8_t>;

class TpktClient {
public:
    // Connects to 127.0.0.1:port, retrying for up to the time while nothing listens there.
    // Throws std::runtime_error when no connection stands by then.
    explicit TpktClient(int port, std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));
    ~TpktClient();
    TpktClient(const TpktClient&) = delete;
    TpktClient& operator=(const TpktClient&) = delete;

    // Sends the bytes as they are (a whole frame or anything else).
    void send_raw(const Bytes& bytes);
    // Sends the payload in a TPKT frame.
    void send_payload(const Bytes& payload);
    // The next whole frame, header included; nothing when none arrives in time or the peer
    // closed the connection.
    std::optional<Bytes> receive_frame(std::chrono::milliseconds timeout);
    // Whether the peer closed the connection (end of file or reset) within the time; frames
    // arriving meanwhile are dropped.
    bool closed_by_peer(std::chrono::milliseconds timeout);

private:
    // Reads what arrives within the time into the buffer; false on end of file or error.
    bool fill(std::chrono::steady_clock::time_point deadline);

    int fd_ = -1;
    Bytes received_;
    bool ended_ = false;
};

// "03 00 00 08 80 01 07 18" for the bytes; for test messages.
std::string hex(const Bytes& bytes);

}  // namespace systemtest
