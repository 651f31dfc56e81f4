#include "server_harness.h"

#include <gtest/gtest.h>

namespace {

using reactortest::CaptureStream;
using servertest::ScriptedService;
using servertest::Strings;

class ControlServer : public ::testing::Test {
protected:
    ScriptedService first, second;
    servertest::ServerHarness controller{&first, &second};
};

TEST_F(ControlServer, EveryCommandGetsOneSuccessAndOneErrorAtMostWithTheSeqAndSlotItCarried)
{
    first.on_command = [this](const LGCP::Command& command) {
        using Cause = LGCP::ErrorCause;
        switch (command.currentSelection()) {
        case LGCP::Command::destroy: first.Success(); break;
        case LGCP::Command::deactivate: first.Success(); first.Error(Cause::internal); break;
        case LGCP::Command::disconnect: first.Error(Cause::busError); first.Error(Cause::internal); break;
        case LGCP::Command::userData: first.Error(Cause::unsupported); first.Success(); break;
        case LGCP::Command::ping: return false;
        default: break;  // a query: claimed and left unanswered
        }
        return true;
    };
    CaptureStream errors(std::cerr);
    for (const char* head : {"seq 7, slot 5,", "", "seq 0,", "slot 0,"})
        controller.deliver(std::string("{ ") + head + " pdu command : destroy : NULL }");
    controller.deliver("{ seq 1, pdu command : deactivate : NULL }");
    controller.deliver("{ seq 2, pdu command : disconnect : NULL }");
    controller.deliver("{ seq 3, pdu command : userData : '01'H }");
    controller.deliver("{ seq 4, pdu command : ping : NULL }");
    controller.deliver("{ seq 5, slot 9, pdu command : query : NULL }");
    controller.deliver("{ pdu signal : activated : NULL }");
    EXPECT_EQ(controller.received(),
              (Strings{"{ seq 7, slot 5, pdu response : success : NULL }", "{ pdu response : success : NULL }",
                       "{ seq 0, pdu response : success : NULL }", "{ slot 0, pdu response : success : NULL }",
                       "{ seq 1, pdu response : success : NULL }", "{ seq 1, pdu response : error : internal }",
                       "{ seq 2, pdu response : error : busError }", "{ seq 3, pdu response : error : unsupported }",
                       "{ seq 4, pdu response : error : unexpectedMsgType }",
                       "{ seq 5, slot 9, pdu response : error : internal }",
                       "{ pdu response : error : unexpectedMsgType }"}));
    EXPECT_EQ(errors.text(), "ctrl [pair]: software error: server do NOT send ack!!!\n"
                             "ctrl [pair]: please contact with techsupport (support@tovrasel.invalid)\n");
    // Only the unclaimed ping was offered to the next service; the signal reached none.
    EXPECT_EQ(second.events, (Strings{"connect", "command 12"}));
    EXPECT_EQ(first.events.size(), 10u);
}

TEST_F(ControlServer, SignalsReachTheOtherServicesFirstAndCarryTheSlotButNoSeq)
{
    LGCP::Signal activated;
    activated.select_activated();
    first.on_command = [&](const LGCP::Command&) {
        first.SendSignal(activated);
        first.Success();
        return true;
    };
    controller.deliver("{ seq 1, slot 5, pdu command : destroy : NULL }");
    first.SendSignal(activated);
    second.SendSignal(12, activated);
    EXPECT_EQ(controller.received(),
              (Strings{"{ slot 5, pdu signal : activated : NULL }", "{ seq 1, slot 5, pdu response : success : NULL }",
                       "{ pdu signal : activated : NULL }", "{ slot 12, pdu signal : activated : NULL }"}));
    // The sender never hears its own signal.
    EXPECT_EQ(first.events, (Strings{"connect", "command 5", "signal activated : NULL"}));
    EXPECT_EQ(second.events, (Strings{"connect", "signal activated : NULL", "signal activated : NULL"}));
}

TEST_F(ControlServer, AnUndecodablePayloadIsLoggedCutShortAndNotAnswered)
{
    std::vector<char> garbage(300, char(0xFF));
    CaptureStream errors(std::cerr);
    controller.deliver(garbage);
    std::string dump;
    for (int i = 0; i < 256; ++i)
        dump += "FF ";
    EXPECT_EQ(errors.text(), "ctrl [pair]: receive fail: decode error!\n msg: " + dump + "...\n");
    controller.deliver("{ seq 2, pdu command : ping : NULL }");
    EXPECT_EQ(controller.received(), (Strings{"{ seq 2, pdu response : error : unexpectedMsgType }"}));
}

TEST_F(ControlServer, AfterTheControllerHasGoneNothingIsSentAndTheLogStaysUsable)
{
    controller.server.Deactivate();
    controller.server.Deactivate();
    EXPECT_EQ(first.events, (Strings{"connect", "disconnect"}));
    EXPECT_EQ(second.events, (Strings{"connect", "disconnect"}));

    // A signal without an alternative cannot be encoded; printing it must not fail the stream.
    CaptureStream errors(std::cerr);
    first.SendSignal(LGCP::Signal());
    LGCP::Signal activated;
    activated.select_activated();
    first.SendSignal(activated);
    EXPECT_EQ(errors.text().rfind("ctrl [null]: send fail: encode error! {", 0), 0u);
    EXPECT_EQ(errors.text().substr(errors.text().size() - 47), "\nctrl [null]: send fail: Service not attached!\n");

    // A password never reaches the log, not even one that cannot be encoded.
    LGCP::Signal auth;
    TERM::MdmRequestUserAuth& credentials = auth.select_modemProceeding().select_auth();
    credentials.set_username("bob");
    credentials.set_password("s\xE9" "cret");
    CaptureStream refused(std::cerr);
    first.SendSignal(auth);
    EXPECT_NE(refused.text().find("username \"bob\",\n"), std::string::npos) << refused.text();
    EXPECT_NE(refused.text().find("password \"...\"\n"), std::string::npos) << refused.text();
    EXPECT_EQ(refused.text().find("cret"), std::string::npos);
}

}  // namespace
