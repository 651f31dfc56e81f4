#include "controller_pair.h"
#include "scripted_service.h"
#include "../foundation/reactor/reactor_test_support.h"

#include "server/ctrl_server.h"
#include "server/monitoring_ctl.h"
#include "server/slot_factory.h"
#include "server/slots.h"

#include <gtest/gtest.h>

#include <chrono>
#include <unistd.h>

namespace {

using Strings = std::vector<std::string>;

// A factory that counts itself as one modem in the report and records what it is asked.
class RecordingFactory : public SlotFactory {
public:
    explicit RecordingFactory(const char* name) : name_(name) {}
    const char* GetName() const override { return name_; }
    void Query(LGCP::Resources& resources) override
    {
        calls.push_back(std::string("query ") + name_);
        resources.set_modem(resources.get_modem().getValue() + 1);
    }
    void SelfSignal(const LGCP::Signal& signal) override
    {
        calls.push_back(std::string("signal ") + name_ + " " + std::to_string(signal.currentSelection()));
    }

    static Strings calls;

private:
    const char* name_;
};

Strings RecordingFactory::calls;

// Factories stay on the list until the process ends, so they are made once.
void make_factories()
{
    static RecordingFactory older("older"), newer("newer");
}

// One controller connection serves all the tests: ending it blocks for a second.
class SlotService : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        make_factories();
        server = new CtrlSrv::Server;
        front = new servertest::ScriptedService;
        server->Bind(front);
        server->Bind(Slots::instance());
        server->Bind(MonitoringCtl::instance());
        reactortest::CaptureStream debug(std::clog);
        server->Activate(new servertest::PairConnection(peer));
    }
    static void TearDownTestSuite()
    {
        delete server;
        delete front;
        Slots::instance()->server = nullptr;
        MonitoringCtl::instance()->server = nullptr;
        close(peer);
    }
    void SetUp() override
    {
        RecordingFactory::calls.clear();
        servertest::received(peer);
    }

    void deliver(const std::string& message) { deliver(servertest::encode(message)); }
    void deliver(const std::vector<char>& bytes) { server->OnMessage(bytes.data(), static_cast<int>(bytes.size())); }

    static CtrlSrv::Server* server;
    static servertest::ScriptedService* front;
    static int peer;
};

CtrlSrv::Server* SlotService::server;
servertest::ScriptedService* SlotService::front;
int SlotService::peer = -1;

TEST_F(SlotService, AQueryIsAnsweredAndTheResourceReportFollows)
{
    deliver("{ seq 1, pdu command : query : NULL }");
    EXPECT_EQ(servertest::received(peer),
              (Strings{"{ seq 1, pdu response : success : NULL }",
                       "{ pdu signal : query : { boardMajor 0, boardMinor 0, rtp-g729 0, rtp-g723 0, rtp-g711 0, "
                       "rtp-g711mcc 0, modem 2, mixer { }, mux TRUE, mcc-data 0, mcc-bri 0, mcc-trans 0, echoBus { }, "
                       "t38-instances 0, digital-modems 0, lin16 0, universal 0 } }"}));
    // Newest factory first; the other services hear the report before the controller.
    EXPECT_EQ(RecordingFactory::calls, (Strings{"query newer", "query older"}));
    EXPECT_EQ(front->events.back().rfind("signal query : {", 0), 0u);
}

TEST_F(SlotService, WithoutSlotTypesEverySlotCommandFindsNoSlot)
{
    deliver("{ seq 1, slot 1, pdu command : create : trunk : { trunk 2, timeslot 5 } }");
    for (const char* command : {"destroy : NULL", "disconnect : NULL", "deactivate : NULL", "userData : '01'H",
                                "ioctl : deactivateRecord : NULL", "connect : 1023"})
        deliver(std::string("{ seq 2, slot 3, pdu command : ") + command + " }");

    std::vector<char> connect = servertest::encode("{ seq 3, slot 1, pdu command : connect : 1023 }");
    ASSERT_EQ(connect[connect.size() - 2], char(0x03));
    ASSERT_EQ(connect.back(), char(0xFF));
    connect[connect.size() - 2] = 0x04, connect.back() = 0x00;
    deliver(connect);

    Strings expected{"{ seq 1, slot 1, pdu response : error : insufficientResources }"};
    for (int i = 0; i < 6; ++i)
        expected.push_back("{ seq 2, slot 3, pdu response : error : slotNotExists }");
    expected.push_back("{ seq 3, slot 1, pdu response : error : invalidSlot }");
    EXPECT_EQ(servertest::received(peer), expected);
}

TEST_F(SlotService, LeavesQueryWithASlotAndSlotCommandsWithoutOneToOthers)
{
    deliver("{ seq 4, slot 7, pdu command : query : NULL }");
    deliver("{ seq 5, pdu command : destroy : NULL }");
    deliver("{ seq 6, slot 7, pdu command : testBpc : { bus 0, seed 1, mode read : NULL, timeslot-start 0, "
            "timeslot-length 0 } }");
    deliver("{ seq 7, pdu command : display : snmpTrapReceivers : { } }");
    EXPECT_EQ(servertest::received(peer), (Strings{"{ seq 4, slot 7, pdu response : error : unexpectedMsgType }",
                                                   "{ seq 5, pdu response : error : unexpectedMsgType }",
                                                   "{ seq 6, slot 7, pdu response : error : unexpectedMsgType }",
                                                   "{ seq 7, pdu response : success : NULL }"}));
}

TEST_F(SlotService, TrunkStatusGoesToEveryFactory)
{
    LGCP::Signal status, activated;
    status.select_trunkStatus();
    activated.select_activated();
    front->SendSignal(status);
    front->SendSignal(activated);
    EXPECT_EQ(RecordingFactory::calls, (Strings{"signal newer 11", "signal older 11"}));
}

TEST(SlotServiceAlone, ControllerLossBlocksForOneSecondEvenWithoutSlots)
{
    auto start = std::chrono::steady_clock::now();
    Slots::instance()->OnDisconnect();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}

}  // namespace
