#include "foundation/util/cdr_sender.h"

#include "foundation/util/inet4_addr.h"

#include <sstream>
#include <sys/socket.h>

namespace CDR_Sender {

Sender::Sender() : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP)) {}

Sender::~Sender() { fd_.close(); }

bool Sender::SendTo(const std::string& record, const std::string& destinations)
{
    if (!fd_)
        return false;
    std::istringstream words(destinations);
    std::string word;
    while (words >> word) {
        INet4::Addr to;
        // An unparsed address would otherwise go out as 0.0.0.0, that is to this very host.
        if (!INet4::AssignPeer(to, word))
            continue;
        sendto(fd_, record.data(), record.size(), 0, to.as_sockaddr(), INet4::Addr::size());
    }
    return true;
}

}  // namespace CDR_Sender
