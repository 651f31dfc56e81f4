#include "foundation/util/tpkt_tracer.h"

#include "../control/control_test_support.h"
#include "support/reactor_until.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using controltest::read_some;
using controltest::sees_end;
using controltest::tpkt_frame;
using controltest::write_all;
using testsupport::run_reactor_until;

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
        clients.push_back(controltest::connect_client(port_));
        EXPECT_GE(clients.back(), 0);
        const size_t opened = clients.size();
        EXPECT_TRUE(run_reactor_until([&] { return count_opened() == opened; }));
        return clients.back();
    }

    size_t count_opened() const
    {
        size_t n = 0;
        for (size_t at = debug.text().find("ACP connection open from 127.0.0.1:"); at != std::string::npos;
             at = debug.text().find("ACP connection open from", at + 1))
            ++n;
        return n;
    }

    uint16_t port_ = controltest::free_port();
    reactortest::CaptureStream debug{std::clog};
    TPKTTracer tracer;
    Recorder receiver{tracer};
    std::vector<int> clients;
};

TEST_F(TpktTracerTest, FramesReachTheReceiverAndBadClientsAreClosedAlone)
{
    const int good = connect_client();
    const int bad_version = connect_client();
    const int too_long = connect_client();

    write_all(good, tpkt_frame("hello") + tpkt_frame("") + tpkt_frame(std::string(512, 'm')));
    write_all(bad_version, std::string("\x04\x00\x00\x05\xAA", 5));
    write_all(too_long, tpkt_frame(std::string(513, 'x')));
    ASSERT_TRUE(run_reactor_until([&] { return receiver.frames.size() == 2; }));
    EXPECT_EQ(receiver.frames, (std::vector<std::string>{"hello", std::string(512, 'm')}));
    EXPECT_TRUE(run_reactor_until([&] { return sees_end(bad_version, 0) && sees_end(too_long, 0); }));
    EXPECT_FALSE(sees_end(good, 0));

    // A frame split across writes still arrives, and only the good client hears an answer.
    const std::string split = tpkt_frame("again");
    write_all(good, split.substr(0, 3));
    testsupport::run_reactor_for(20);
    write_all(good, split.substr(3));
    ASSERT_TRUE(run_reactor_until([&] { return receiver.frames.size() == 3; }));
    EXPECT_EQ(receiver.frames[2], "again");
    tracer.Send("ok", 2);
    EXPECT_EQ(read_some(good), tpkt_frame("ok"));
}

TEST_F(TpktTracerTest, SendGoesToEveryClientOrOnlyToTheOneBeingServed)
{
    const int first = connect_client();
    const int second = connect_client();
    const int third = connect_client();

    tracer.Send("xy", 2);
    for (int client : {first, second, third})
        EXPECT_EQ(read_some(client), tpkt_frame("xy"));

    receiver.answer = "re";
    write_all(second, tpkt_frame("q"));
    ASSERT_TRUE(run_reactor_until([&] { return receiver.frames.size() == 1; }));
    EXPECT_EQ(read_some(second), tpkt_frame("re"));
    EXPECT_EQ(read_some(first, 100), "");
    EXPECT_EQ(read_some(third, 100), "");

    // A client that left is dropped; later frames go to the others. Its port cannot be taken
    // by a second tracer while this one listens.
    close(third);
    clients.pop_back();
    testsupport::run_reactor_for(100);
    tracer.Send("z", 1);
    EXPECT_EQ(read_some(first), tpkt_frame("z"));
    EXPECT_EQ(read_some(second), tpkt_frame("z"));
    EXPECT_FALSE(TPKTTracer().Listen(port_));
}

}  // namespace
