#pragma once

// The board emulator's journal narrowed to what one device was asked, as the tests of the code
// that drives the device compare it.

#include "support/board_emulator.h"

#include <string>
#include <vector>

namespace testsupport {

// "<request> <fields> -> <result>" of every entry of the device whose request name starts with the
// prefix, oldest first (an entry without fields reads "<request> -> <result>"); its opens and
// closes only when asked for.
inline std::vector<std::string> device_requests(BoardEmulator& board, const std::string& device,
                                                const std::string& prefix = "", bool opens = false)
{
    std::vector<std::string> lines;
    for (const JournalEntry& entry : board.journal())
        if (entry.device == device && entry.request.compare(0, prefix.size(), prefix) == 0 &&
            (opens || (entry.request != "open" && entry.request != "close")))
            lines.push_back(entry.request + (entry.fields.empty() ? "" : " " + entry.fields) + " -> " + entry.result);
    return lines;
}

// The TDM switch's requests, as device_requests gives them: "/dev/hal" also carries the clock
// select and the line-interface chips' registers.
inline std::vector<std::string> switch_requests(BoardEmulator& board)
{
    std::vector<std::string> requests;
    for (const std::string& request : device_requests(board, "/dev/hal"))
        for (const char* name : {"connect ", "disable ", "write ", "read "})
            if (request.rfind(name, 0) == 0)
                requests.push_back(request);
    return requests;
}

// The journal entries of the device with the given request name, oldest first.
inline std::vector<JournalEntry> device_entries(BoardEmulator& board, const std::string& device,
                                                const std::string& request)
{
    std::vector<JournalEntry> entries;
    for (const JournalEntry& entry : board.journal())
        if (entry.device == device && entry.request == request)
            entries.push_back(entry);
    return entries;
}

}  // namespace testsupport
