#include "foundation/util/tpkt_tracer.h"

#include "../protocol/stream_test_support.h"
#include "../reactor/reactor_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using streamtest::run_for;
using streamtest::run_until;
using testing::HasSubstr;
using Bytes = std::vector<unsigned char>;

Bytes frame(const std::string& payload)
{
    const size_t total = payload.size() + 4;
    Bytes bytes{0x03, 0x00, static_cast<unsigned char>(total >> 8), static_cast<unsigned char>(total)};
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

unsigned short free_port()
{
    int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    socklen_t size = sizeof address;
    EXPECT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&address), size), 0);
    EXPECT_EQ(getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size), 0);
    close(probe);
    return ntohs(address.sin_port);
}

class Recorder : public TPKTTracer::Receiver {
public:
    explicit Recorder(TPKTTracer& tracer) : tracer_(tracer) {}
    void OnFrame(const void* data, unsigned length) override
    {
        frames.emplace_back(static_cast<const char*>(data), length);
        if (!answer.empty())
            tracer_.Send(answer.data(), unsigned(answer.size()));
    }
    std::vector<std::string> frames;
    std::string answer;

private:
    TPKTTracer& tracer_;
};

class TpktTracerTest : public reactortest::ReactorTest {
protected:
    void SetUp() override
    {
        port_ = free_port();
        ASSERT_TRUE(tracer.Listen(port_));
        tracer.SetReceiver(&receiver);
    }
    void TearDown() override
    {
        for (int client : clients)
            close(client);
        reactortest::ReactorTest::TearDown();
    }

    // A client connected and accepted (one at a time: the listener's backlog is 1).
    int connect_client()
    {
        int client = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port_);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        clients.push_back(client);
        const size_t opened = ++accepted_;
        EXPECT_TRUE(run_until([&] { return count_opened() == opened; }));
        return client;
    }

    static void client_write(int client, const Bytes& bytes)
    {
        ASSERT_EQ(write(client, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }

    // What reaches the client within the wait; an empty result when nothing or the end of the
    // stream came.
    static Bytes client_read(int client, int wait_ms = 2000)
    {
        pollfd entry{client, POLLIN, 0};
        Bytes bytes;
        if (poll(&entry, 1, wait_ms) != 1)
            return bytes;
        unsigned char buffer[1024];
        const ssize_t n = recv(client, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0)
            bytes.assign(buffer, buffer + n);
        return bytes;
    }

    // True once the tracer has closed the connection of a client that was sent nothing.
    static bool closed_by_server(int client)
    {
        unsigned char byte;
        return recv(client, &byte, 1, MSG_DONTWAIT) == 0;
    }

    size_t count_opened() const
    {
        size_t n = 0;
        for (size_t at = debug.text().find("ACP connection open from 127.0.0.1:"); at != std::string::npos;
             at = debug.text().find("ACP connection open from", at + 1))
            ++n;
        return n;
    }

    reactortest::CaptureStream debug{std::clog};
    TPKTTracer tracer;
    Recorder receiver{tracer};
    std::vector<int> clients;

private:
    unsigned short port_ = 0;
    size_t accepted_ = 0;
};

TEST_F(TpktTracerTest, FramesReachTheReceiverAndBadClientsAreClosedAlone)
{
    const int good = connect_client();
    const int bad_version = connect_client();
    const int too_long = connect_client();

    Bytes bytes = frame("hello");
    const Bytes empty = frame("");
    const Bytes largest = frame(std::string(512, 'm'));
    bytes.insert(bytes.end(), empty.begin(), empty.end());
    bytes.insert(bytes.end(), largest.begin(), largest.end());
    client_write(good, bytes);
    client_write(bad_version, {0x04, 0x00, 0x00, 0x05, 0xAA});
    client_write(too_long, frame(std::string(513, 'x')));
    ASSERT_TRUE(run_until([&] { return receiver.frames.size() == 2; }));
    EXPECT_EQ(receiver.frames, (std::vector<std::string>{"hello", std::string(512, 'm')}));
    EXPECT_TRUE(run_until([&] { return closed_by_server(bad_version) && closed_by_server(too_long); }));
    EXPECT_FALSE(closed_by_server(good));

    // A frame split across writes still arrives, and only the good client hears an answer.
    const Bytes split = frame("again");
    client_write(good, Bytes(split.begin(), split.begin() + 3));
    run_for(20);
    client_write(good, Bytes(split.begin() + 3, split.end()));
    ASSERT_TRUE(run_until([&] { return receiver.frames.size() == 3; }));
    EXPECT_EQ(receiver.frames[2], "again");
    tracer.Send("ok", 2);
    EXPECT_EQ(client_read(good), frame("ok"));
}

TEST_F(TpktTracerTest, SendGoesToEveryClientOrOnlyToTheOneBeingServed)
{
    const int first = connect_client();
    const int second = connect_client();
    const int third = connect_client();

    tracer.Send("xy", 2);
    for (int client : {first, second, third})
        EXPECT_EQ(client_read(client), frame("xy"));

    receiver.answer = "re";
    client_write(second, frame("q"));
    ASSERT_TRUE(run_until([&] { return receiver.frames.size() == 1; }));
    EXPECT_EQ(client_read(second), frame("re"));
    EXPECT_TRUE(client_read(first, 100).empty());
    EXPECT_TRUE(client_read(third, 100).empty());

    // A client that left is dropped; later frames go to the others.
    close(third);
    clients.pop_back();
    run_for(100);
    tracer.Send("z", 1);
    EXPECT_EQ(client_read(first), frame("z"));
    EXPECT_EQ(client_read(second), frame("z"));
}

TEST_F(TpktTracerTest, ListenFailsOnAPortInUse)
{
    TPKTTracer other;
    const int client = connect_client();
    sockaddr_in address{};
    socklen_t size = sizeof address;
    ASSERT_EQ(getpeername(client, reinterpret_cast<sockaddr*>(&address), &size), 0);
    EXPECT_FALSE(other.Listen(ntohs(address.sin_port)));
}

}  // namespace
