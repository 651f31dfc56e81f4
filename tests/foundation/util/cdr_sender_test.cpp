#include "foundation/util/cdr_sender.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <poll.h>
#include <unistd.h>

namespace {

// A UDP socket bound to the address and a free port, and the port's text.
std::pair<int, std::string> receiver(const char* address)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, address, &local.sin_addr);
    socklen_t length = sizeof local;
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&local), length), 0);
    getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
    return {fd, std::to_string(ntohs(local.sin_port))};
}

// The datagram that arrives within 200 ms, if any.
std::string received(int fd)
{
    pollfd ready{fd, POLLIN, 0};
    char data[256];
    const ssize_t n = poll(&ready, 1, 200) == 1 ? recv(fd, data, sizeof data, 0) : 0;
    return std::string(data, size_t(std::max<ssize_t>(n, 0)));
}

TEST(CdrSender, SendsTheWholeRecordToEachParsedDestinationAndNothingForOneThatDoesNotParse)
{
    const auto [third, third_port] = receiver("127.0.0.3");
    const auto [second, second_port] = receiver("127.0.0.2");
    // Bound to every local address, it would see what went to 0.0.0.0.
    const auto [any, any_port] = receiver("0.0.0.0");
    CDR_Sender::Sender sender;
    const std::string record("call=1\0end", 10);
    // A port beyond 65535 is not cut to the second receiver's.
    const std::string beyond = std::to_string(std::stoi(second_port) + 65536);
    ASSERT_TRUE(sender.SendTo(record, " 127.0.0.3:" + third_port + "\tnohost:" + any_port + "\n127.0.0.2:" +
                                          second_port + " 127.0.0.2:" + beyond));
    EXPECT_EQ(received(third), record);
    EXPECT_EQ(received(second), record);
    EXPECT_EQ(received(second), "");
    EXPECT_EQ(received(any), "");
    EXPECT_TRUE(sender.SendTo(record, " \t "));
    for (int fd : {third, second, any})
        close(fd);
}

}  // namespace
