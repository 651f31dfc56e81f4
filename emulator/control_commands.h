#pragma once

// The test-control commands, one per line. Every answer is "ok", "ok <n>" followed by n lines,
// or "error: <reason>".
//
//   journal                          the journal, oldest entry first
//   journal clear
//   state <device> [<words>]         what the device's models hold (the words narrow it down)
//   requests <device>                the requests the device's models answer: "<code> <name>"
//   set <device> <words>             a model's own setting or event, such as a remote byte on the
//                                    switch or a detector event of a time slot
//   push <target> <hex>...           records for the daemon to read (events or frames), queued
//                                    together so that it finds them all at once
//   script <device> <code> <result> [<hex>]   the next request's answer and record
//   fail <device> <code> <errno> [<count>]    an errno for the next <count> requests (1; 0 cancels)
//   absent <device> | present <device>        opens fail with ENOENT while absent
//   stall <target> | drain <target>           stop or resume reading what the daemon writes
//   eof <target>                     the daemon reads end of file after the pushed records
//
// A <target> is an open file by its number (the journal's "open file=<n>") or a device path,
// which names the latest open of that device.

#include "emulator/text.h"

#include <string>

namespace Emulator {

class Board;

class ControlCommands {
public:
    explicit ControlCommands(Board& board) : board_(board) {}

    std::string execute(const std::string& line);

private:
    std::string journal(const Words& words);
    std::string state(const Words& words);
    std::string requests(const Words& words);
    std::string set(const Words& words);
    std::string push(const Words& words);
    std::string script(const Words& words);
    std::string fail(const Words& words);
    std::string absent(const Words& words, bool absent);
    std::string stall(const Words& words, bool draining);
    std::string end_of_file(const Words& words);

    Board& board_;
};

}  // namespace Emulator
