#pragma once

// The board emulator as a test sees it: started in a TempRoot (so Device::open there reaches its
// devices), driven through its control socket, ended with the object.
//
//     testsupport::TempRoot root;
//     testsupport::BoardEmulator board(root);
//     board.fail("/dev/hal", 0x80084D02, ENODEV);
//     ... run the code under test ...
//     EXPECT_EQ(board.journal().back().result, "-1 ENODEV");

#include "support/emulator_process.h"
#include "support/temp_root.h"

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// "<ms> <device> <request> [<fields>] -> <result>", taken apart.
struct JournalEntry {
    unsigned long time_ms = 0;
    std::string device;
    std::string request;  // "open", "close", a request name such as "connect", or what was written
    std::string fields;   // such as "output=35 source=69"
    std::string result;   // "0", "-1 ENODEV", or a number followed by a note such as "byte=90"
};

class BoardEmulator {
public:
    // `board`: a board description file that the emulator applies at start; empty, the bare board.
    explicit BoardEmulator(const TempRoot& root, const std::string& board = "") : process_(root.path(), board) {}

    // One command line; the lines of its answer. Throws std::runtime_error with the emulator's
    // reason when it answers with an error.
    std::vector<std::string> command(const std::string& line);

    std::vector<JournalEntry> journal();
    void clear_journal() { command("journal clear"); }
    // What the device's models hold; `words` narrows it down (an output of the switch).
    std::vector<std::string> state(const std::string& device, const std::string& words = "")
    {
        return command("state " + device + (words.empty() ? "" : " " + words));
    }
    // A model's own setting, such as "remote 9000 0x5A" on "/dev/hal".
    void set(const std::string& device, const std::string& words) { command("set " + device + ' ' + words); }

    // A target is a device path (its latest open) or an open file's number from the journal.
    void push(const std::string& target, const std::vector<uint8_t>& record);
    void set_draining(const std::string& target, bool draining) { command((draining ? "drain " : "stall ") + target); }
    void end_of_file(const std::string& target) { command("eof " + target); }
    // The transparent channel of a time slot: what the daemon wrote to it, and octets (in
    // hexadecimal) that arrive on it.
    std::string capture(int timeslot);
    void feed(int timeslot, const std::string& hex) { set("/dev/mcc/ctl", "feed " + std::to_string(timeslot) + ' ' + hex); }

    // The next `count` requests of (device, code) fail with `error`.
    void fail(const std::string& device, uint32_t code, int error, unsigned count = 1);
    // While absent, opens of the device fail with ENOENT.
    void set_absent(const std::string& device, bool absent) { command((absent ? "absent " : "present ") + device); }

    // Ends the emulator and starts a fresh one, set up again with every command so far that
    // changed a model's setting or injected a fault (set, fail, absent, present).
    void restart();

private:
    std::string read_line();

    EmulatorProcess process_;
    std::string received_;
    std::vector<std::string> setup_;
};

}  // namespace testsupport
