#include "foundation/util/tpkt_tracer.h"

#include "../control/control_test_support.h"

namespace {

using namespace controltest;
using testsupport::run_reactor_until;

// The tracer's receiver: keeps the frames and answers each when an answer is set.
class TpktTracerTest : public reactortest::ReactorTest, public TPKTTracer::Receiver {
protected:
    void SetUp() override
    {
        port = listen_on_free_port([&](uint16_t free) { return tracer.Listen(free); });
        tracer.SetReceiver(this);
    }
    void TearDown() override
    {
        for (int client : clients)
            close(client);
        ReactorTest::TearDown();
    }
    void OnFrame(const void* data, unsigned length) override
    {
        frames.emplace_back(static_cast<const char*>(data), length);
        if (!answer.empty())
            tracer.Send(answer.data(), unsigned(answer.size()));
    }

    // A client connected and accepted (one at a time: the listener's backlog is 1).
    int client()
    {
        clients.push_back(connect_client(port));
        const std::string opened = "ACP connection open from " + local_address(clients.back());
        EXPECT_TRUE(run_reactor_until([&] { return debug.count(opened) == 1; }));
        return clients.back();
    }

    LineLog debug{std::clog};
    TPKTTracer tracer;
    uint16_t port = 0;
    Strings frames;
    std::string answer;
    std::vector<int> clients;
};

TEST_F(TpktTracerTest, FramesReachTheReceiverAnswersGoToTheSenderAndBadClientsOrLackOfDescriptorsHarmNoOther)
{
    const int first = client(), second = client(), bad_version = client(), too_long = client();
    write_all(first, tpkt_frame("hello") + tpkt_frame("") + tpkt_frame(std::string(512, 'm')));
    write_all(bad_version, std::string("\x04\x00\x00\x05\xAA", 5));
    write_all(too_long, tpkt_frame(std::string(513, 'x')));
    ASSERT_TRUE(run_reactor_until([&] { return frames.size() == 2; }));
    EXPECT_EQ(frames, (Strings{"hello", std::string(512, 'm')}));
    EXPECT_TRUE(run_reactor_until([&] { return sees_end(bad_version, 0) && sees_end(too_long, 0); }));
    EXPECT_FALSE(sees_end(first, 0));

    // A frame split across writes still arrives, and what is sent while it is served goes back
    // to its sender only.
    answer = "re";
    const std::string split = tpkt_frame("again");
    write_all(second, split.substr(0, 3));
    testsupport::run_reactor_for(20);
    write_all(second, split.substr(3));
    ASSERT_TRUE(run_reactor_until([&] { return frames.size() == 3; }));
    EXPECT_EQ(frames[2], "again");
    EXPECT_EQ(read_some(second), tpkt_frame("re"));
    EXPECT_EQ(read_some(first, 100), "");

    // Otherwise frames go to every client left. The port cannot be taken by a second tracer.
    tracer.Send("z", 1);
    EXPECT_EQ(read_some(first), tpkt_frame("z"));
    EXPECT_EQ(read_some(second), tpkt_frame("z"));
    EXPECT_FALSE(TPKTTracer().Listen(port));

    // Without a descriptor left, after one line, the listener waits a second before it takes the
    // pending client. (Every handler met here was served before: the sanitizer cannot check a type
    // it first meets under the limit.)
    clients.push_back(connect_client(port));
    LineLog errors(std::cerr);
    {
        DescriptorLimit limit;
        ASSERT_TRUE(run_reactor_until([&] { return !errors.lines.empty(); }));
    }
    const std::string opened = "ACP connection open from " + local_address(clients.back());
    ASSERT_TRUE(run_reactor_until([&] { return debug.count(opened) == 1; }));
    EXPECT_EQ(errors.texts(), Strings{"TPKTTracer: can't accept: Too many open files, trying again in 1000 ms"});
    EXPECT_GE(int32_t(debug.times(opened)[0] - errors.lines[0].ms), 1000);
}

}  // namespace
