#pragma once

// A controller at the byte level: one TCP connection to the daemon on loopback that sends raw
// bytes and takes TPKT frames apart, so that a test can compare what is on the wire with what it
// expects without going through the message coder.

#include "support/daemon_process.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace systemtest {

using Bytes = std::vector<uint8_t>;

// {seq 7, command ping} and its answer, {seq 7, response success}.
const Bytes ping_frame{0x03, 0x00, 0x00, 0x08, 0x80, 0x01, 0x07, 0x18};
const char ping_answer[] = "03 00 00 08 80 01 07 40";

class TpktClient {
public:
    // Connects to 127.0.0.1:port; throws std::runtime_error when that fails.
    explicit TpktClient(int port);

    // Sends the bytes as they are (a whole frame or anything else).
    void send_raw(const Bytes& bytes);
    // The next whole frame, header included; nothing when none arrives in time or the peer
    // closed the connection.
    std::optional<Bytes> receive_frame(testsupport::milliseconds timeout);

private:
    testsupport::LoopbackConnection connection_;
    Bytes received_;
};

// "03 00 00 08 80 01 07 18" for the bytes; for test messages.
std::string hex(const Bytes& bytes);

// Pings on new connections until one is answered, skipping the signals before the answer: a
// connection made while the daemon still serves, or is letting go of, a controller is closed
// unanswered. Whether one was answered within the time.
bool answered_ping(int port, testsupport::milliseconds timeout);

}  // namespace systemtest
