#pragma once

// One open of a device: the emulator's end of the socket pair whose other end the daemon holds.
// Records the daemon writes are read here; records for the daemon (events, frames) queue until
// its socket takes them, so the emulator never waits for the daemon.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

namespace Emulator {

struct Driver;

class OpenFile {
public:
    // Takes the descriptor of the emulator's end; `inode` names the daemon's end in requests.
    OpenFile(int id, Driver& driver, int fd, uint64_t inode);
    ~OpenFile();
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    int id() const { return id_; }
    Driver& driver() const { return driver_; }
    uint64_t inode() const { return inode_; }
    int fd() const { return fd_; }

    void push(std::vector<uint8_t> record);
    // Several records, sent one after another before anything else is done.
    void push(std::vector<std::vector<uint8_t>> records);
    // While not draining, what the daemon writes stays in its socket until the buffer is full.
    void set_draining(bool draining) { draining_ = draining; }
    // A model holds back what the daemon writes while its channel is busy (one that runs at a
    // line rate), apart from the test's stall and drain.
    void hold(bool held) { held_ = held; }
    // The daemon reads end of file once the records queued before are out.
    void end_of_file();

    short events() const;
    // Serves one poll report, handing each record the daemon wrote to `received`. False once the
    // daemon has closed its last duplicate: the driver's close.
    bool serve(short revents, const std::function<void(const uint8_t*, size_t)>& received);

private:
    void send_queued();

    int id_;
    Driver& driver_;
    int fd_;
    uint64_t inode_;
    std::deque<std::vector<uint8_t>> queued_;
    bool draining_ = true;
    bool held_ = false;
    bool end_pending_ = false;
    bool ended_ = false;
};

}  // namespace Emulator
