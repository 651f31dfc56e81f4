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
        EXPECT_TRUE(server.Activate(new testsupport::PairConnection(peer)));
        connect_line = debug.text();
    }
    ~ControlServer() override
    {
        server.Deactivate();
        close(peer);
    }

    void deliver(const std::string& message)
    {
        std::vector<char> bytes = testsupport::encode(message);
        server.OnMessage(bytes.data(), static_cast<int>(bytes.size()));
    }
    Strings answers() { return testsupport::received(peer); }
    void first_succeeds()
    {
        first.on_command = [this](const LGCP::Command&) {
            first.Success();
            return true;
        };
    }

    CtrlSrv::Server server;
    ScriptedService first, second;
    int peer = -1;
    std::string connect_line;
};

TEST_F(ControlServer, EveryCommandGetsOneSuccessAndOneErrorAtMostWithTheSeqAndSlotItCarried)
{
    first.on_command = [this](const LGCP::Command& command) {
        switch (command.currentSelection()) {
        case LGCP::Command::destroy:
            first.Success();
            break;
        case LGCP::Command::deactivate:
            first.Success();
            first.Error(LGCP::ErrorCause::internal);
            break;
        case LGCP::Command::disconnect:
            first.Error(LGCP::ErrorCause::busError);
            first.Error(LGCP::ErrorCause::internal);
            break;
        case LGCP::Command::userData:
            first.Error(LGCP::ErrorCause::unsupported);
            first.Success();
            break;
        case LGCP::Command::ping:
            return false;
        default:  // a query: claimed and left unanswered
            break;
        }
        return true;
    };
    CaptureStream errors(std::cerr);
    for (const char* head : {"seq 7, slot 5,", "", "seq 0,", "slot 0,"})
        deliver(std::string("{ ") + head + " pdu command : destroy : NULL }");
    deliver("{ seq 1, pdu command : deactivate : NULL }");
    deliver("{ seq 2, pdu command : disconnect : NULL }");
    deliver("{ seq 3, pdu command : userData : '01'H }");
    deliver("{ seq 4, pdu command : ping : NULL }");
    deliver("{ seq 5, slot 9, pdu command : query : NULL }");
    deliver("{ pdu signal : activated : NULL }");
    EXPECT_EQ(answers(), (Strings{"{ seq 7, slot 5, pdu response : success : NULL }",
                                  "{ pdu response : success : NULL }", "{ seq 0, pdu response : success : NULL }",
                                  "{ slot 0, pdu response : success : NULL }",
                                  "{ seq 1, pdu response : success : NULL }",
                                  "{ seq 1, pdu response : error : internal }",
                                  "{ seq 2, pdu response : error : busError }",
                                  "{ seq 3, pdu response : error : unsupported }",
                                  "{ seq 4, pdu response : error : unexpectedMsgType }",
                                  "{ seq 5, slot 9, pdu response : error : internal }",
                                  "{ pdu response : error : unexpectedMsgType }"}));
    EXPECT_EQ(errors.text(), "ctrl [pair]: software error: server do NOT send ack!!!\n"
                             "ctrl [pair]: please contact with techsupport (support@tovrasel.invalid)\n");
    // Only the unclaimed ping was offered to the next service; the signal reached none.
    EXPECT_EQ(second.events, (Strings{"connect", "command 12"}));
    EXPECT_EQ(first.events.size(), 10u);
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
    first_succeeds();
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

    // Without a connection an answer goes nowhere, and the log says so.
    first_succeeds();
    CaptureStream unsent(std::cerr);
    deliver("{ seq 1, pdu command : ping : NULL }");
    EXPECT_EQ(unsent.text(), "ctrl [null]: send fail: Service not attached!\n");
}

}  // namespace
