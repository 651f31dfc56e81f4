#pragma once

// Which end of the D channel a data link serves: it decides the command/response bit of every
// frame and the direction shown in traces.

#include <ostream>

namespace ISDN {

struct Side {
    enum type { user = 0, network = 1 };
};

inline std::ostream& operator<<(std::ostream& out, Side::type side)
{
    return out << (side == Side::network ? "network" : "user");
}

}  // namespace ISDN
