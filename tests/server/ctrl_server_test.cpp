#include "controller_pair.h"
#include "scripted_service.h"
#include "../foundation/reactor/reactor_test_support.h"

#include "server/ctrl_server.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

using reactortest::CaptureStream;
using servertest::ScriptedService;
using Strings = std::vector<std::string>;

class ControlServer : public ::testing::Test {
protected:
    ControlServer()
    {
        server.Bind(&first);
        server.Bind(&second);
        CaptureStream debug(std::clog);
        EXPECT_TRUE(server.Activate(new servertest::PairConnection(peer)));
        connect_line = debug.text();
    }
    ~ControlServer() override
    {
        server.Deactivate();
        close(peer);
    }

    void deliver(const std::string& message)
    {
        std::vector<char> bytes = servertest::encode(message);
        server.OnMessage(bytes.data(), static_cast<int>(bytes.size()));
    }
    Strings answers() { return servertest::received(peer); }

    CtrlSrv::Server server;
    ScriptedService first, second;
    int peer = -1;
    std::string connect_line;
};

TEST_F(ControlServer, AnAnswerCarriesSeqAndSlotOnlyWhenTheCommandHadThem)
{
    first.on_command = [this](const LGCP::Command&) {
        first.Success();
        return true;
    };
    deliver("{ seq 7, slot 5, pdu command : destroy : NULL }");
    deliver("{ pdu command : destroy : NULL }");
    deliver("{ seq 0, pdu command : destroy : NULL }");
    deliver("{ slot 0, pdu command : destroy : NULL }");
    EXPECT_EQ(answers(), (Strings{"{ seq 7, slot 5, pdu response : success : NULL }",
                                  "{ pdu response : success : NULL }", "{ seq 0, pdu response : success : NULL }",
                                  "{ slot 0, pdu response : success : NULL }"}));
    // A claimed command is offered to no later service.
    EXPECT_TRUE(second.events == Strings{"connect"});
}

TEST_F(ControlServer, ACommandGetsAtMostOneSuccessAndOneError)
{
    first.on_command = [this](const LGCP::Command& command) {
        switch (command.currentSelection()) {
        case LGCP::Command::destroy:
            first.Success();
            first.Error(LGCP::ErrorCause::internal);
            break;
        case LGCP::Command::deactivate:
            first.Error(LGCP::ErrorCause::busError);
            first.Error(LGCP::ErrorCause::internal);
            break;
        default:
            first.Error(LGCP::ErrorCause::unsupported);
            first.Success();
            break;
        }
        return true;
    };
    deliver("{ seq 1, pdu command : destroy : NULL }");
    deliver("{ seq 2, pdu command : deactivate : NULL }");
    deliver("{ seq 3, pdu command : disconnect : NULL }");
    EXPECT_EQ(answers(), (Strings{"{ seq 1, pdu response : success : NULL }",
                                  "{ seq 1, pdu response : error : internal }",
                                  "{ seq 2, pdu response : error : busError }",
                                  "{ seq 3, pdu response : error : unsupported }"}));
}

TEST_F(ControlServer, UnclaimedAndUnansweredCommandsGetAnErrorAnyway)
{
    deliver("{ seq 4, pdu command : ping : NULL }");
    EXPECT_EQ(first.events, (Strings{"connect", "command 12"}));
    EXPECT_EQ(second.events, (Strings{"connect", "command 12"}));

    second.on_command = [](const LGCP::Command&) { return true; };
    CaptureStream errors(std::cerr);
    deliver("{ seq 5, slot 9, pdu command : ping : NULL }");
    EXPECT_EQ(answers(), (Strings{"{ seq 4, pdu response : error : unexpectedMsgType }",
                                  "{ seq 5, slot 9, pdu response : error : internal }"}));
    EXPECT_EQ(errors.text(), "ctrl [pair]: software error: server do NOT send ack!!!\n"
                             "ctrl [pair]: please contact with techsupport (support@tovrasel.invalid)\n");
}

TEST_F(ControlServer, ResponsesSignalsAndBadSlotNumbersReachNoService)
{
    deliver("{ seq 3, slot 2, pdu response : success : NULL }");
    deliver("{ pdu signal : activated : NULL }");

    // The encoder refuses a slot number above 1023, so the number is patched into the bytes.
    std::vector<char> bytes = servertest::encode("{ seq 7, slot 1023, pdu command : destroy : NULL }");
    ASSERT_EQ(bytes[3], char(0x03));
    ASSERT_EQ(bytes[4], char(0xFF));
    bytes[3] = 0x04, bytes[4] = 0x00;
    server.OnMessage(bytes.data(), static_cast<int>(bytes.size()));

    EXPECT_EQ(answers(), (Strings{"{ seq 3, pdu response : error : unexpectedMsgType }",
                                  "{ pdu response : error : unexpectedMsgType }",
                                  "{ seq 7, pdu response : error : invalidSlot }"}));
    EXPECT_EQ(first.events, (Strings{"connect"}));
}

TEST_F(ControlServer, APostponedAnswerIsSentLaterWithTheSavedSeq)
{
    unsigned saved = 0;
    bool seqPresent = false;
    first.on_command = [&](const LGCP::Command&) {
        saved = first.delayResponse();
        seqPresent = first.IsSeqPresent();
        first.Success();  // already counted as answered
        return true;
    };
    CaptureStream errors(std::cerr);
    deliver("{ seq 9, slot 5, pdu command : destroy : NULL }");
    EXPECT_EQ(saved, 9u);
    EXPECT_TRUE(seqPresent);
    deliver("{ slot 6, pdu command : destroy : NULL }");
    EXPECT_EQ(saved, 9u);  // the last seq received
    EXPECT_FALSE(seqPresent);
    EXPECT_TRUE(answers().empty());
    EXPECT_EQ(errors.text(), "");

    first.delayedSuccess(5, 9);
    first.delayedSuccess(6);
    EXPECT_EQ(answers(), (Strings{"{ seq 9, slot 5, pdu response : success : NULL }",
                                  "{ slot 6, pdu response : success : NULL }"}));
}

TEST_F(ControlServer, SignalsReachTheOtherServicesFirstAndCarryNoSeq)
{
    LGCP::Signal activated;
    activated.select_activated();
    first.on_command = [&](const LGCP::Command&) {
        first.SendSignal(activated);
        first.Success();
        return true;
    };
    deliver("{ seq 1, slot 5, pdu command : destroy : NULL }");
    first.SendSignal(activated);
    second.SendSignal(12, activated);
    EXPECT_EQ(answers(), (Strings{"{ slot 5, pdu signal : activated : NULL }",
                                  "{ seq 1, slot 5, pdu response : success : NULL }",
                                  "{ pdu signal : activated : NULL }", "{ slot 12, pdu signal : activated : NULL }"}));
    EXPECT_EQ(first.events, (Strings{"connect", "command 5", "signal activated : NULL"}));
    // The sender never hears its own signal.
    EXPECT_EQ(second.events, (Strings{"connect", "signal activated : NULL", "signal activated : NULL"}));
}

TEST_F(ControlServer, AnUndecodablePayloadIsLoggedCutShortAndNotAnswered)
{
    first.on_command = [this](const LGCP::Command&) {
        first.Success();
        return true;
    };
    std::vector<char> garbage(300, char(0xFF));
    CaptureStream errors(std::cerr);
    server.OnMessage(garbage.data(), static_cast<int>(garbage.size()));
    std::string dump;
    for (int i = 0; i < 256; ++i)
        dump += "FF ";
    EXPECT_EQ(errors.text(), "ctrl [pair]: receive fail: decode error!\n msg: " + dump + "...\n");
    deliver("{ seq 2, pdu command : ping : NULL }");
    EXPECT_EQ(answers(), (Strings{"{ seq 2, pdu response : success : NULL }"}));
}

TEST_F(ControlServer, TheConnectionComesAndGoesWithTheServices)
{
    EXPECT_EQ(connect_line, "ctrl [pair]: controller connect.\n");
    bool connected = false;
    EXPECT_TRUE(first.CheckServerConnection(connected));
    EXPECT_TRUE(connected);

    server.Deactivate();
    server.Deactivate();
    EXPECT_EQ(first.events, (Strings{"connect", "disconnect"}));
    EXPECT_EQ(second.events, (Strings{"connect", "disconnect"}));
    EXPECT_FALSE(first.CheckServerConnection(connected));

    // A signal without an alternative cannot be encoded; the error stream stays usable.
    CaptureStream errors(std::cerr);
    first.SendSignal(LGCP::Signal());
    std::cerr << "after" << std::endl;
    EXPECT_EQ(errors.text().rfind("ctrl [null]: send fail: encode error! {", 0), 0u);
    EXPECT_EQ(errors.text().substr(errors.text().size() - 6), "after\n");
}

TEST(ControlService, AnUnboundServiceDoesNothingButSaySo)
{
    ScriptedService lonely;
    CaptureStream errors(std::cerr);
    lonely.Success();
    EXPECT_EQ(lonely.GetSlot(), CtrlSrv::Server::no_slot);
    EXPECT_FALSE(lonely.IsSlotPresent());
    EXPECT_EQ(lonely.delayResponse(), ~0u);
    bool connected = true;
    EXPECT_FALSE(lonely.CheckServerConnection(connected));
    std::string line = "CtrlSrv::Service error! service not connected to server.\n";
    EXPECT_EQ(errors.text(), line + line + line + line);
}

TEST(ControlServerAlone, WithoutAConnectionNothingIsSent)
{
    CtrlSrv::Server server;
    ScriptedService service;
    server.Bind(&service);
    service.on_command = [&](const LGCP::Command&) {
        service.Success();
        return true;
    };
    server.Deactivate();
    EXPECT_TRUE(service.events.empty());

    std::vector<char> ping = servertest::encode("{ seq 1, pdu command : ping : NULL }");
    CaptureStream errors(std::cerr);
    server.OnMessage(ping.data(), static_cast<int>(ping.size()));
    EXPECT_EQ(errors.text(), "ctrl [null]: send fail: Service not attached!\n");
}

}  // namespace
