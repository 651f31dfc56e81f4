#pragma once

// One connection of a daemon process on the board socket: its opens and driver requests come in
// one message each and are answered in order. A reply that the daemon's socket cannot take yet
// waits here, and no further request is read until it is out, so a daemon that stops reading
// costs the emulator one reply.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <sys/types.h>
#include <vector>

namespace Emulator {

class Link {
public:
    explicit Link(int fd) : fd_(fd) {}
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    int fd() const { return fd_; }
    short events() const;
    bool waiting() const { return !queued_.empty(); }

    // The next message, its length (which may exceed the capacity: a message too long for any
    // request), 0 when none is waiting, or -1 when the daemon has gone.
    ssize_t receive(uint8_t* buffer, size_t capacity);
    // Sends a reply, with a descriptor passed along when `passed` is not negative; the emulator's
    // copy of that descriptor is closed once it is sent.
    void reply(const uint8_t* message, size_t length, int passed = -1);
    void send_queued();

private:
    struct Queued {
        std::vector<uint8_t> message;
        int passed;
    };
    bool send_one(const uint8_t* message, size_t length, int passed);

    int fd_;
    std::deque<Queued> queued_;
};

}  // namespace Emulator
