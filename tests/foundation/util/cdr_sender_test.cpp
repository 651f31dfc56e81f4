#include "foundation/util/cdr_sender.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// Receives on one port of every local address and tells which address each datagram was for,
// so that it also sees what would go to 0.0.0.0.
class Receiver {
public:
    Receiver() : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in local = {};
        local.sin_family = AF_INET;
        bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
        socklen_t length = sizeof local;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length);
        port_ = std::to_string(ntohs(local.sin_port));
        int on = 1;
        setsockopt(fd_, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    }
    ~Receiver() { close(fd_); }

    const std::string& port() const { return port_; }

    // (address sent to, bytes) of what arrives until it stays quiet for 200 ms.
    std::vector<std::pair<std::string, std::string>> drain()
    {
        std::vector<std::pair<std::string, std::string>> got;
        pollfd ready = {fd_, POLLIN, 0};
        while (poll(&ready, 1, 200) == 1) {
            char data[256];
            char control[CMSG_SPACE(sizeof(in_pktinfo))];
            iovec part = {data, sizeof data};
            msghdr message = {};
            message.msg_iov = &part;
            message.msg_iovlen = 1;
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            ssize_t length = recvmsg(fd_, &message, 0);
            cmsghdr* info = CMSG_FIRSTHDR(&message);
            if (length < 0 || !info)
                break;
            got.emplace_back(inet_ntoa(reinterpret_cast<in_pktinfo*>(CMSG_DATA(info))->ipi_addr),
                             std::string(data, size_t(length)));
        }
        return got;
    }

private:
    int fd_;
    std::string port_;
};

TEST(CdrSender, SendsTheWholeRecordToEachParsedDestinationInOrder)
{
    Receiver receiver;
    const std::string& port = receiver.port();
    CDR_Sender::Sender sender;
    const std::string record("call=1\0end", 10);
    ASSERT_TRUE(sender.SendTo(record, " 127.0.0.3:" + port + "\tnohost:" + port + "\n127.0.0.2:" + port + " "));
    using Got = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(receiver.drain(), (Got{{"127.0.0.3", record}, {"127.0.0.2", record}}));

    EXPECT_TRUE(sender.SendTo(record, " \t "));
    EXPECT_TRUE(receiver.drain().empty());
}

}  // namespace
