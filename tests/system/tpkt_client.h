#pragma once

// A controller at the byte level: one TCP connection to the daemon on loopback that sends raw
// bytes and takes TPKT frames apart, so that a test can compare what is on the wire with what it
// expects without going through the message coder.

#include "support/daemon_process.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace systemtest {

using Bytes = std::vector<uint8_t>;

class TpktClient {
public:
    // Connects to 127.0.0.1:port, retrying while nothing listens there yet; throws
    // std::runtime_error when no connection stands.
    explicit TpktClient(int port);

    // Sends the bytes as they are (a whole frame or anything else).
    void send_raw(const Bytes& bytes);
    // The next whole frame, header included; nothing when none arrives in time or the peer
    // closed the connection.
    std::optional<Bytes> receive_frame(std::chrono::milliseconds timeout);
    // Whether the peer closed the connection (end of file or reset) within the time; frames
    // arriving meanwhile are dropped.
    bool closed_by_peer(std::chrono::milliseconds timeout);

private:
    // Reads what arrives within the time into the buffer; false on end of file or error.
    bool fill(std::chrono::steady_clock::time_point deadline);

    testsupport::LoopbackConnection connection_;
    Bytes received_;
    bool ended_ = false;
};

// "03 00 00 08 80 01 07 18" for the bytes; for test messages.
std::string hex(const Bytes& bytes);

}  // namespace systemtest
