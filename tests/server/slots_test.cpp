// The slot service behind a real control server: what the controller gets for its slot commands,
// with test slot types whose hardware hooks are only recorded.

#include "scripted_service.h"
#include "test_slot.h"
#include "../foundation/reactor/reactor_test_support.h"
#include "support/reactor_until.h"

#include "server/ctrl_server.h"
#include "server/slot_factory.h"
#include "server/slots.h"

#include <gtest/gtest.h>

#include <chrono>
#include <unistd.h>

namespace {

using servertest::TestFactory;
using servertest::TestSlot;
using Strings = std::vector<std::string>;

// A factory that records in which order it is asked.
class RecordingFactory : public SlotFactory {
public:
    explicit RecordingFactory(const char* name) : name_(name) {}
    const char* GetName() const override { return name_; }
    Slot* INewSlot(const LGCP::CreateParams&) override
    {
        calls.push_back(std::string("create ") + name_);
        return nullptr;
    }
    void Query(LGCP::Resources&) override { calls.push_back(std::string("query ") + name_); }
    void SelfSignal(const LGCP::Signal& signal) override
    {
        calls.push_back(std::string("signal ") + name_ + " " + std::to_string(signal.currentSelection()));
    }

    static Strings calls;

private:
    const char* name_;
};

Strings RecordingFactory::calls;

// A control server with the slot service bound behind a recording service, as start-up binds
// it, and a controller connection. Factories stay on the list until the process ends, so they
// are made once: the test factory is the newest.
struct Controller {
    Controller()
    {
        static RecordingFactory older("older"), newer("newer");
        TestFactory::instance();
        server.Bind(&front);
        server.Bind(Slots::instance());
        reactortest::CaptureStream debug(std::clog);
        server.Activate(new testsupport::PairConnection(peer));
    }
    ~Controller()
    {
        server.Deactivate();
        Slots::instance()->server = nullptr;
        close(peer);
    }

    void deliver(const std::vector<char>& bytes) { server.OnMessage(bytes.data(), static_cast<int>(bytes.size())); }
    void deliver(const std::string& message) { deliver(testsupport::encode(message)); }
    Strings received() { return testsupport::received(peer); }
    // The answers among what was received, the signals left out.
    Strings responses()
    {
        Strings taken;
        for (const std::string& message : received())
            if (message.find("pdu response") != std::string::npos)
                taken.push_back(message);
        return taken;
    }

    servertest::ScriptedService front;
    CtrlSrv::Server server;
    int peer = -1;
};

// One controller connection serves the tests of the suite: ending it blocks for a second. Each
// test leaves the slot table empty.
class SlotService : public ::testing::Test {
protected:
    static void SetUpTestSuite() { controller = new Controller; }
    static void TearDownTestSuite() { delete controller; }
    void SetUp() override
    {
        RecordingFactory::calls.clear();
        TestSlot::calls.clear();
        answers();
    }
    void TearDown() override
    {
        for (unsigned n = 0; n < Slots::slot_count; ++n)
            ASSERT_EQ(Slots::instance()->Find(n), nullptr) << "slot " << n << " left behind";
        EXPECT_EQ(TestFactory::instance()->size(), 0u);
    }

    void deliver(const std::string& message) { controller->deliver(message); }
    Strings answers() { return controller->received(); }

    static Controller* controller;
};

Controller* SlotService::controller;

TEST_F(SlotService, QueryAndTrunkStatusReachEveryFactoryNewestFirst)
{
    deliver("{ seq 1, pdu command : query : NULL }");
    EXPECT_EQ(answers(),
              (Strings{"{ seq 1, pdu response : success : NULL }",
                       "{ pdu signal : query : { boardMajor 0, boardMinor 0, rtp-g729 0, rtp-g723 0, rtp-g711 0, "
                       "rtp-g711mcc 0, modem 1, mixer { }, mux TRUE, mcc-data 0, mcc-bri 0, mcc-trans 0, echoBus { }, "
                       "t38-instances 0, digital-modems 0, lin16 0, universal 0 } }"}));
    // The other services hear the report before the controller.
    EXPECT_EQ(controller->front.events.back().rfind("signal query : {", 0), 0u);

    LGCP::Signal status, activated;
    status.select_trunkStatus();
    activated.select_activated();
    controller->front.SendSignal(status);
    controller->front.SendSignal(activated);
    EXPECT_EQ(RecordingFactory::calls, (Strings{"query newer", "query older", "signal newer 11", "signal older 11"}));
}

TEST_F(SlotService, CommandsOnEmptyOrInvalidNumbersAndCreatesNoFactoryTakes)
{
    deliver("{ seq 1, slot 1, pdu command : create : trunk : { trunk 2, timeslot 5 } }");
    for (const char* command : {"destroy : NULL", "disconnect : NULL", "deactivate : NULL", "userData : '01'H",
                                "ioctl : deactivateRecord : NULL", "connect : 1023"})
        deliver(std::string("{ seq 2, slot 3, pdu command : ") + command + " }");
    deliver("{ seq 3, slot 4, pdu command : create : ext : { transmitter 5, receiver 6 } }");
    deliver("{ seq 4, slot 4, pdu command : connect : 1023 }");
    deliver("{ seq 5, slot 1023, pdu command : connect : 4 }");

    // The encoder refuses a connect target above 1023, so the number is patched into the bytes.
    std::vector<char> connect = testsupport::encode("{ seq 6, slot 4, pdu command : connect : 1023 }");
    ASSERT_EQ(connect[connect.size() - 2], char(0x03));
    ASSERT_EQ(connect.back(), char(0xFF));
    connect[connect.size() - 2] = 0x04, connect.back() = 0x00;
    controller->deliver(connect);
    deliver("{ seq 7, slot 4, pdu command : destroy : NULL }");
    // Slot commands without a slot, and board commands with one, are left to other services.
    deliver("{ seq 8, pdu command : destroy : NULL }");
    deliver("{ seq 9, slot 7, pdu command : testBpc : { bus 0, seed 1, mode read : NULL, timeslot-start 0, "
            "timeslot-length 0 } }");

    Strings expected{"{ seq 1, slot 1, pdu response : error : insufficientResources }"};
    for (int i = 0; i < 6; ++i)
        expected.push_back("{ seq 2, slot 3, pdu response : error : slotNotExists }");
    expected.insert(expected.end(), {"{ seq 3, slot 4, pdu response : success : NULL }",
                                     "{ seq 4, slot 4, pdu response : error : slotNotExists }",
                                     "{ seq 5, slot 1023, pdu response : error : slotNotExists }",
                                     "{ seq 6, slot 4, pdu response : error : invalidSlot }",
                                     "{ seq 7, slot 4, pdu response : success : NULL }",
                                     "{ seq 8, pdu response : error : unexpectedMsgType }",
                                     "{ seq 9, slot 7, pdu response : error : unexpectedMsgType }"});
    EXPECT_EQ(answers(), expected);
    EXPECT_EQ(RecordingFactory::calls, (Strings{"create newer", "create older"}));
}

TEST_F(SlotService, APostponedDestroyIsAnsweredOnceWhenTheSlotEnds)
{
    deliver("{ seq 1, slot 5, pdu command : create : echo : { bus 0, channel 30 } }");
    deliver("{ seq 2, slot 6, pdu command : create : echo : { bus 0, channel 30 } }");
    deliver("{ seq 3, slot 5, pdu command : destroy : NULL }");
    deliver("{ slot 6, pdu command : destroy : NULL }");
    deliver("{ seq 4, slot 5, pdu command : create : ext : { transmitter 1, receiver 2 } }");
    deliver("{ seq 5, slot 5, pdu command : destroy : NULL }");
    EXPECT_EQ(answers(), (Strings{"{ seq 1, slot 5, pdu response : success : NULL }",
                                  "{ seq 2, slot 6, pdu response : success : NULL }",
                                  "{ seq 4, slot 5, pdu response : error : destroyInProgress }",
                                  "{ seq 5, slot 5, pdu response : error : destroyInProgress }"}));

    Strings ends;
    ASSERT_TRUE(testsupport::run_reactor_until([&] {
        for (const std::string& answer : answers())
            ends.push_back(answer);
        return ends.size() >= 2;
    }));
    testsupport::run_reactor_for(50);
    // Each with the destroy's own seq, or none when it had none.
    EXPECT_EQ(ends, (Strings{"{ seq 3, slot 5, pdu response : success : NULL }",
                             "{ slot 6, pdu response : success : NULL }"}));
    EXPECT_TRUE(answers().empty());
}

TEST_F(SlotService, AnEndNoDestroyCommandWaitsForAnswersNothing)
{
    deliver("{ seq 1, slot 7, pdu command : create : echo : { bus 0, channel 20 } }");
    deliver("{ seq 2, slot 8, pdu command : create : echo : { bus 0, channel 20 } }");
    // Created over a slot that ends later, or destroyed by a factory.
    deliver("{ seq 3, slot 7, pdu command : create : ext : { transmitter 1, receiver 2 } }");
    deliver("{ seq 4, slot 7, pdu command : create : ext : { transmitter 1, receiver 2 } }");
    EXPECT_FALSE(Slots::instance()->Destroy(Slots::instance()->Find(8)));
    EXPECT_EQ(answers(), (Strings{"{ seq 1, slot 7, pdu response : success : NULL }",
                                  "{ seq 2, slot 8, pdu response : success : NULL }",
                                  "{ seq 3, slot 7, pdu response : error : slotIdBusy }",
                                  "{ seq 4, slot 7, pdu response : error : destroyInProgress }"}));

    ASSERT_TRUE(testsupport::run_reactor_until(
        [] { return !Slots::instance()->Find(7) && !Slots::instance()->Find(8); }));
    EXPECT_TRUE(answers().empty());
}

TEST(SlotServiceLoss, EverySlotGoesEvenOneStillEndingAndTheProcessBlocksOneSecond)
{
    Controller controller;
    for (const char* message : {"{ seq 1, slot 1, pdu command : create : ext : { transmitter 10, receiver 11 } }",
                                "{ seq 2, slot 2, pdu command : create : ext : { transmitter 20, receiver 21 } }",
                                "{ seq 3, slot 3, pdu command : create : echo : { bus 0, channel 100 } }",
                                "{ seq 4, slot 4, pdu command : create : echo : { bus 0, channel 100 } }",
                                "{ seq 5, slot 1, pdu command : connect : 2 }",
                                "{ seq 6, slot 3, pdu command : destroy : NULL }"})
        controller.deliver(message);
    ASSERT_EQ(controller.responses().size(), 5u);

    // Every slot of the factory hears the trunk status, the one ending too.
    LGCP::Signal status;
    status.select_trunkStatus().set_trunk(1);
    TestSlot::calls.clear();
    controller.front.SendSignal(status);
    EXPECT_EQ(TestSlot::calls, (Strings{"x trunk-status 1 0", "x trunk-status 1 0", "postponed trunk-status 1 0",
                                        "postponed trunk-status 1 0"}));

    TestSlot::calls.clear();
    auto start = std::chrono::steady_clock::now();
    controller.server.Deactivate();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(TestSlot::calls, (Strings{"x disconnect-transmitter x", "x input-release", "x output-release"}));
    for (unsigned n = 1; n <= 4; ++n)
        EXPECT_EQ(Slots::instance()->Find(n), nullptr);
    EXPECT_EQ(TestFactory::instance()->size(), 0u);

    // The factory's walk and the ends that were due reach no deleted slot.
    TestSlot::calls.clear();
    reactortest::CaptureStream unsent(std::cerr);
    controller.front.SendSignal(status);
    testsupport::run_reactor_for(150);
    EXPECT_TRUE(TestSlot::calls.empty());
}

}  // namespace
