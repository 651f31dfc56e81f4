#pragma once

// The emulated board: the listening sockets "<root>/dev/board" (daemon opens and driver requests)
// and "<root>/dev/board-control" (test commands), the open devices, the journal and the test's
// overrides, all served by one single-threaded poll() loop that never waits for a daemon.

#include "emulator/control_commands.h"
#include "emulator/control_session.h"
#include "emulator/device_model.h"
#include "emulator/journal.h"
#include "emulator/link.h"
#include "emulator/open_file.h"
#include "emulator/overrides.h"
#include "foundation/os/device_link.h"

#include <algorithm>
#include <csignal>
#include <poll.h>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace Emulator {

class Board {
public:
    // Creates "<root>/dev" when needed, fits the board as the board description file says (none:
    // the bare board) and listens on both sockets; throws std::runtime_error.
    explicit Board(const std::string& root, const std::string& description = "");
    ~Board();
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    // Serves until `stop` is set by a signal that `poll_mask` lets through during the wait.
    void run(const volatile sig_atomic_t& stop, const sigset_t& poll_mask);

    // One test-control command line; its answer.
    std::string execute(const std::string& line) { return commands_.execute(line); }
    Journal& journal() { return journal_; }
    Overrides& overrides() { return overrides_; }
    Driver* driver(const std::string& path);
    // An open file by its number, or the latest open of a device path that is still open.
    OpenFile* target(const std::string& name);
    // For a model's attach request: the open file that process `pid` holds as descriptor `fd`,
    // found through /proc/<pid>/fd/<fd>; the pid 0xFFFFFFFF names the process whose request is
    // being served, by the peer credentials of its link. Null when there is none.
    static OpenFile* descriptor_file(uint32_t pid, uint32_t fd);

private:
    void poll_once(const sigset_t& poll_mask);
    // Runs the models' work that is due; when the next is due.
    std::optional<DeviceModel::Clock::time_point> run_timed();
    void accept_links();
    void accept_control();
    void serve_link(Link& link, short revents);
    // Whether the message got a reply.
    bool handle_message(Link& link, const uint8_t* message, size_t length);
    void open_device(Link& link, const DeviceLink::Open& open);
    // What a request names: its open file (null: none) and that driver's request type (null: none).
    struct Target {
        OpenFile* file = nullptr;
        const RequestType* type = nullptr;
    };
    Target target(const DeviceLink::Request& request);
    // A posted request is applied and journalled like the others but gets no reply.
    void request(Link& link, const DeviceLink::Request& request, const Target& target, bool posted);
    // A message of posted requests; one that asks for it is answered once they are served.
    bool serve_posted(Link& link, const uint8_t* message, size_t length);
    // A run of `count` posted requests like `first`, their records one after the other or counted.
    void serve_run(Link& link, const DeviceLink::Request& first, size_t count, bool counting);
    void journal_answer(const Target& target, const DeviceLink::Request& request, const Call& call,
                        const Answer& answer);
    void written(OpenFile& file, const uint8_t* data, size_t size);
    void closed(OpenFile& file);
    void reply(Link& link, int result, int error, const uint8_t* record = nullptr, size_t size = 0,
               int passed = -1);

    std::string board_path_;
    std::string control_path_;
    int board_fd_ = -1;
    int control_fd_ = -1;

    std::vector<std::unique_ptr<DeviceModel>> models_;
    std::map<std::string, Driver> drivers_;
    std::vector<std::unique_ptr<OpenFile>> files_;
    std::unordered_map<uint64_t, OpenFile*> files_by_inode_;
    int next_file_id_ = 1;
    std::vector<std::unique_ptr<Link>> links_;
    std::vector<std::unique_ptr<ControlSession>> sessions_;

    Journal journal_;
    Overrides overrides_;
    ControlCommands commands_;

    std::vector<pollfd> poll_set_;
    uint8_t message_[std::max(DeviceLink::max_request_message, DeviceLink::max_posted_message)];
    uint8_t record_[DeviceLink::max_record];
    // The record of a request of a counting run being served.
    uint8_t counted_[DeviceLink::max_record];
    uint8_t reply_[DeviceLink::max_reply_message];
};

}  // namespace Emulator
