// The slot service behind a control server: what the controller gets for its slot commands, with
// test slot types whose hardware hooks are only recorded.

#include "test_slot.h"

#include "server/slot_connection.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using servertest::Strings;
using servertest::TestFactory;
using servertest::TestSlot;

class SlotService : public ::testing::Test {
protected:
    SlotService()
    {
        answers();
        TestSlot::calls.clear();
    }
    void TearDown() override
    {
        for (unsigned n = 0; n < Slots::slot_count; ++n)
            ASSERT_EQ(Slots::instance()->Find(n), nullptr) << "slot " << n << " left behind";
        EXPECT_EQ(TestFactory::instance()->size(), 0u);
    }

    void deliver(const std::string& message) { controller.deliver(message); }
    Strings answers() { return controller.received(); }

    servertest::ServerHarness& controller = servertest::slot_service();
};

TEST_F(SlotService, AQueryIsAnsweredThenReportedWithTheFactoriesResources)
{
    deliver("{ seq 1, pdu command : query : NULL }");
    Strings received = answers();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0], "{ seq 1, pdu response : success : NULL }");
    EXPECT_EQ(received[1].rfind("{ pdu signal : query : {", 0), 0u);
    EXPECT_NE(received[1].find(" modem 1, "), std::string::npos);
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
    controller.deliver(connect);
    deliver("{ seq 7, slot 4, pdu command : destroy : NULL }");
    // Slot commands without a slot, and board commands with one, are left to other services.
    deliver("{ seq 8, pdu command : destroy : NULL }");
    deliver("{ seq 9, slot 7, pdu command : testBpc : { bus 0, seed 1, mode read : NULL, timeslot-start 0, "
            "timeslot-length 0 } }");

    Strings expected{"{ seq 1, slot 1, pdu response : error : insufficientResources }"};
    expected.insert(expected.end(), 6, "{ seq 2, slot 3, pdu response : error : slotNotExists }");
    expected.insert(expected.end(), {"{ seq 3, slot 4, pdu response : success : NULL }",
                                     "{ seq 4, slot 4, pdu response : error : slotNotExists }",
                                     "{ seq 5, slot 1023, pdu response : error : slotNotExists }",
                                     "{ seq 6, slot 4, pdu response : error : invalidSlot }",
                                     "{ seq 7, slot 4, pdu response : success : NULL }",
                                     "{ seq 8, pdu response : error : unexpectedMsgType }",
                                     "{ seq 9, slot 7, pdu response : error : unexpectedMsgType }"});
    EXPECT_EQ(answers(), expected);
}

TEST_F(SlotService, ActivateUserDataAndIoctlReachTheSlotWhoseAnswerTheResponseCarries)
{
    deliver("{ seq 1, slot 4, pdu command : create : ext : { transmitter 5, receiver 6 } }");
    auto* slot = static_cast<TestSlot*>(Slots::instance()->Find(4));
    ASSERT_NE(slot, nullptr);
    const char* requests[] = {"activate : empty : NULL", "userData : '4142'H", "ioctl : echoSuppressor : TRUE"};
    for (bool accept : {false, true}) {
        slot->accept_requests = accept;
        for (const char* request : requests)
            deliver(std::string("{ seq 2, slot 4, pdu command : ") + request + " }");
    }
    deliver("{ seq 3, slot 4, pdu command : destroy : NULL }");
    EXPECT_EQ(TestSlot::calls, (Strings{"x activate empty : NULL", "x user-data AB", "x ioctl echoSuppressor : TRUE",
                                        "x activate empty : NULL", "x user-data AB", "x ioctl echoSuppressor : TRUE"}));
    Strings expected{"{ seq 1, slot 4, pdu response : success : NULL }"};
    expected.insert(expected.end(), 3, "{ seq 2, slot 4, pdu response : error : unsupported }");
    expected.insert(expected.end(), 3, "{ seq 2, slot 4, pdu response : success : NULL }");
    expected.push_back("{ seq 3, slot 4, pdu response : success : NULL }");
    EXPECT_EQ(answers(), expected);
}

TEST_F(SlotService, APostponedDestroyIsAnsweredOnceWhenTheSlotEndsAndTheSlotTakesNoCommandMeanwhile)
{
    deliver("{ seq 1, slot 5, pdu command : create : echo : { bus 0, channel 30 } }");
    deliver("{ seq 2, slot 6, pdu command : create : echo : { bus 0, channel 30 } }");
    deliver("{ seq 3, slot 5, pdu command : destroy : NULL }");
    deliver("{ slot 6, pdu command : destroy : NULL }");
    deliver("{ seq 4, slot 7, pdu command : create : ext : { transmitter 1, receiver 2 } }");
    for (const char* command : {"create : ext : { transmitter 1, receiver 2 }", "destroy : NULL", "connect : 7",
                                "activate : empty : NULL", "deactivate : NULL", "userData : '01'H",
                                "ioctl : deactivateRecord : NULL"})
        deliver(std::string("{ seq 5, slot 5, pdu command : ") + command + " }");
    deliver("{ seq 6, slot 7, pdu command : connect : 5 }");
    // Ending from inside IBeforeDestroy is ending at once.
    deliver("{ seq 7, slot 8, pdu command : create : echo : { bus 0, channel 0 } }");
    deliver("{ seq 8, slot 8, pdu command : destroy : NULL }");
    Strings expected(7, "{ seq 5, slot 5, pdu response : error : destroyInProgress }");
    expected.insert(expected.begin(), {"{ seq 1, slot 5, pdu response : success : NULL }",
                                       "{ seq 2, slot 6, pdu response : success : NULL }",
                                       "{ seq 4, slot 7, pdu response : success : NULL }"});
    expected.insert(expected.end(), {"{ seq 6, slot 7, pdu response : error : destroyInProgress }",
                                     "{ seq 7, slot 8, pdu response : success : NULL }",
                                     "{ seq 8, slot 8, pdu response : success : NULL }"});
    EXPECT_EQ(answers(), expected);

    // Edges a slot type makes to ending slots go with them.
    Slot* live = Slots::instance()->Find(7);
    Connect(*live, *Slots::instance()->Find(5));
    Connect(*Slots::instance()->Find(6), *live);
    answers();
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
    EXPECT_EQ(live->GetSource(), nullptr);
    EXPECT_TRUE(live->GetListeners().empty());
    deliver("{ seq 9, slot 7, pdu command : destroy : NULL }");
}

TEST_F(SlotService, ACreateReplacesALiveSlotAndAnEndNoDestroyCommandWaitsForAnswersNothing)
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

    // Created over a live, connected slot: the old one goes with its edge and route, with one answer.
    deliver("{ seq 5, slot 1, pdu command : create : ext : { transmitter 1, receiver 2 } }");
    deliver("{ seq 6, slot 2, pdu command : create : ext : { transmitter 3, receiver 4 } }");
    deliver("{ seq 7, slot 1, pdu command : connect : 2 }");
    TestSlot::calls.clear();
    answers();
    deliver("{ seq 8, slot 1, pdu command : create : ext : { transmitter 5, receiver 6 } }");
    EXPECT_EQ(TestSlot::calls, (Strings{"x disconnect-transmitter x", "x input-release", "x output-release"}));
    EXPECT_EQ(Slots::instance()->Find(2)->GetSource(), nullptr);
    EXPECT_EQ(Slots::instance()->Find(1)->IGetTransmitChannel(), 5);
    EXPECT_EQ(answers(), Strings{"{ seq 8, slot 1, pdu response : success : NULL }"});
    for (unsigned n : {1, 2})
        Slots::instance()->Destroy(Slots::instance()->Find(n));
}

TEST_F(SlotService, ALostControllerTakesEverySlotEvenOneStillEndingAndBlocksOneSecond)
{
    for (const char* message : {"{ seq 1, slot 1, pdu command : create : ext : { transmitter 10, receiver 11 } }",
                                "{ seq 2, slot 2, pdu command : create : ext : { transmitter 20, receiver 21 } }",
                                "{ seq 3, slot 3, pdu command : create : echo : { bus 0, channel 100 } }",
                                "{ seq 4, slot 4, pdu command : create : echo : { bus 0, channel 100 } }",
                                "{ seq 5, slot 1, pdu command : connect : 2 }",
                                "{ seq 6, slot 3, pdu command : destroy : NULL }"})
        deliver(message);
    // Every slot of the factory hears the trunk status, the one ending too.
    LGCP::Signal status;
    status.select_trunkStatus().set_trunk(1);
    TestSlot::calls.clear();
    Slots::instance()->OnSignal(status);
    EXPECT_EQ(TestSlot::calls, (Strings{"x trunk-status 1", "x trunk-status 1", "postponed trunk-status 1",
                                        "postponed trunk-status 1"}));

    TestSlot::calls.clear();
    auto start = std::chrono::steady_clock::now();
    controller.server.Deactivate();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    controller.connect();
    EXPECT_EQ(TestSlot::calls, (Strings{"x disconnect-transmitter x", "x input-release", "x output-release"}));

    // The factory's walk and the ends that were due reach no deleted slot.
    TestSlot::calls.clear();
    Slots::instance()->OnSignal(status);
    testsupport::run_reactor_for(150);
    EXPECT_TRUE(TestSlot::calls.empty());
}

}  // namespace
