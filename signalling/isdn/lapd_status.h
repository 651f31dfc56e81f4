#pragma once

// What an ISDN data link reports with a deactivation or a management error: an error status with
// its text and a copy of the link's protocol variables as they were when it was made.

#include "foundation/protocol/protocol_status.h"
#include "signalling/isdn/lapd.h"

#include <iosfwd>
#include <string>

namespace ISDN {

class LAPD::Status : public Protocol_status_error, private LAPDFullState {
public:
    // The copy is taken from the link when there is one.
    Status(LAPD* origin, std::string message);

    // The message, then the link's state block.
    void out(std::ostream& os) const override;
};

}  // namespace ISDN
