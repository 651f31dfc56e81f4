#pragma once

// The test controller's connection to the daemon: one TCP connection carrying TPKT frames (3, 0,
// the 16-bit length of the whole frame, the payload).

#include <string>
#include <vector>

class ControllerLink {
public:
    using Payload = std::vector<char>;

    ControllerLink() = default;
    ~ControllerLink();
    ControllerLink(const ControllerLink&) = delete;
    ControllerLink& operator=(const ControllerLink&) = delete;

    // False with the reason in error() when no connection stands.
    bool Connect(const std::string& host, const std::string& port);
    int fd() const { return fd_; }

    // False when the payload does not fit a frame or the connection failed.
    bool Send(const Payload& payload);
    // Reads what has arrived and appends every whole payload. False once the server closed the
    // connection or it failed; the payloads that arrived before are still appended.
    bool Receive(std::vector<Payload>& payloads);

    const std::string& error() const { return error_; }

private:
    int fd_ = -1;
    std::vector<char> received_;
    std::string error_;
};
