#pragma once

// The DSP modems of the board, shared by the modem control device "/dev/mctl" (which allocates
// and configures them) and their data devices "/dev/mdm<n>" (which the programs that carry the
// calls open). The pool is empty until a test fits modems with "set /dev/mctl modems <n>".

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace Emulator {

struct Modem {
    int file = -1;       // the open of "/dev/mctl" that holds the modem; -1 when it holds none
    uint32_t modes = 0;  // the data-mode mask
    std::map<int32_t, int32_t> parameters;  // by offset
    std::string call = "none";              // none, answer, originate or fax-originate

    bool free() const { return file < 0; }
};

class ModemPool {
public:
    // As many modems as the board has data devices.
    static constexpr size_t capacity = 8;
    // The TDM channel of modem n.
    static constexpr int32_t first_timeslot = 480;

    static ModemPool& instance()
    {
        static ModemPool pool;
        return pool;
    }

    std::vector<Modem> modems;
};

}  // namespace Emulator
