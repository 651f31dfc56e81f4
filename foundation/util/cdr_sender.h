#pragma once

#include "foundation/os/fd.h"

#include <string>

namespace CDR_Sender {

// Sends text records as UDP datagrams over one socket kept for the sender's life.
class Sender {
public:
    Sender();
    virtual ~Sender();
    Sender(const Sender&) = delete;
    Sender& operator=(const Sender&) = delete;

    // One datagram of the whole record to each white-space separated "address[:port]" word, in
    // order; words whose address does not parse are skipped and send results are ignored.
    // False only when the socket could not be created.
    bool SendTo(const std::string& record, const std::string& destinations);

private:
    Fd fd_;
};

}  // namespace CDR_Sender
