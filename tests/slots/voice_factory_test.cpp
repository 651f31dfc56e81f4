// The voice factory and its file player behind the slot service, on the emulated channel
// controller: creates the board refuses, and which prompts a list plays how often (the servers,
// the prompt names and the single end of a play the system tests show).

#include "../hardware/emulated_device_test.h"
#include "../server/server_harness.h"

#include "server/slots.h"
#include "slots/circuit/trunk_factory.h"
#include "slots/circuit/voice_factory.h"

#include <fcntl.h>
#include <regex>
#include <sys/socket.h>
#include <utility>

namespace {

class VoiceFactoryTest : public boardtest::BoardTest {
protected:
    VoiceFactoryTest()
    {
        LinkTrunkFactories();
        VoiceFactory::instance();
        board.set("/dev/mcc/ctl", "rate 10000000");
    }
    // The slots a test left go without the controller's loss, which would block for a second.
    ~VoiceFactoryTest() override
    {
        for (unsigned n = 0; n < Slots::slot_count; ++n)
            if (Slot* slot = Slots::instance()->Find(n))
                Slots::instance()->Destroy(slot);
    }

    // What the controller heard since the last call, "|" after each message, without its frame.
    std::string heard()
    {
        static const std::regex frame("\\{ [^{]*pdu \\w+ : | \\}| : NULL");
        std::string text;
        for (const std::string& message : controller->received())
            text += std::regex_replace(message, frame, "") + "|";
        return text;
    }

    // Never deleted, so that no controller loss is handled at the end.
    servertest::ServerHarness* controller = new servertest::ServerHarness{Slots::instance()};
};

TEST_F(VoiceFactoryTest, ChannelsTheControllerRefusesGiveNoSlot)
{
    // The fault, whether a player (else a recorder) is created, and the line logged.
    const std::tuple<const char*, bool, const char*> rows[] = {
        {"absent /dev/mcc/ctl", true, "fail to open /dev/mcc/ctl device for writing: No such file or directory"},
        {"absent /dev/mcc/ctl", false, "fail to open /dev/mcc/ctl device for reading: No such file or directory"},
        {"fail /dev/mcc/ctl 0x40144D00 EBUSY", true, "MCC_ALLOCATE fail: Device or resource busy"},
        {"fail /dev/mcc/ctl 0x20004D02 ENXIO", false, "MCC_TIMESLOT request failed."},
    };
    for (auto [fault, player, line] : rows) {
        board.command(fault);
        std::string create = player ? "player : file : { name { }, repeat 1 }" : "record : { iaddr \"\", port 9 }";
        controller->deliver("{ seq 1, slot 2, pdu command : create : voice : " + create + " }");
        EXPECT_EQ(heard(), "error : insufficientResources|") << fault;
        EXPECT_TRUE(logged(errors, std::string("voice/mcc[0]: ") + line)) << errors.text();
        board.command("present /dev/mcc/ctl");
    }
}

TEST_F(VoiceFactoryTest, AListPlaysWhatOpensInOrderAsOftenAsAskedOrUntilDestroyed)
{
    const std::string a(3000, 'a'), b(9000, 'b');
    root.write_file("/usr/local/voice/a", a);
    root.write_file("/usr/local/voice/sub/b", b);
    root.write_file("/usr/local/voice/empty", "");
    std::filesystem::create_directory(root / "/usr/local/voice/dir");
    controller->deliver("{ seq 1, slot 1, pdu command : create : trunk : { trunk 0, timeslot 1 } }");
    heard();
    // Names, repeat, the start of the capture (all of it for a play that ends), what the controller hears.
    const std::tuple<const char*, int, std::string, std::string> rows[] = {
        {"\"a\", \"sub/b\"", 0, a + b + a + b + a + b, "success|transmitter : active : 300|success|"},
        {"\"a\", \"sub/b\"", -2, a + b + a + b + a + b, "success|transmitter : active : 301|success|"},
        {"\"gone\", \"sub/b\"", 2, b + b,
         "success|transmitter : active : 302|success|transmitter : inactive|abort : 0|"},
        {"\"/usr/local/voice/a\", \"sub/../a\", \"dir\", \"sub/b\"", 1, b,
         "success|transmitter : active : 303|success|transmitter : inactive|abort : 0|"},
        {"\"gone\"", 1, "", "success|error : connectFail|abort : 0|"},
        // A pass that plays nothing ends the play, which would otherwise spin pass after pass.
        {"\"empty\", \"empty\"", 0, "", "success|transmitter : active : 305|success|transmitter : inactive|abort : 0|"},
    };
    int timeslot = 300;
    for (auto [names, repeat, played, expected] : rows) {
        board.set("/dev/mcc/ctl", "next-timeslot " + std::to_string(timeslot));
        controller->deliver("{ seq 2, slot 2, pdu command : create : voice : player : file : { name { " +
                            std::string(names) + " }, repeat " + std::to_string(repeat) + " } }");
        controller->deliver("{ seq 3, slot 2, pdu command : connect : 1 }");
        std::string text;
        ASSERT_TRUE(testsupport::run_reactor_until([&] {
            text += heard();
            bool ends = expected.find("abort") != expected.npos;
            return board.capture(timeslot).size() >= played.size() && (!ends || text.find("abort") != text.npos);
        })) << names;
        testsupport::run_reactor_for(50);
        EXPECT_EQ(text + heard(), expected) << names;
        EXPECT_TRUE(board.capture(timeslot).compare(0, played.size(), played) == 0) << names;
        controller->deliver("{ seq 4, slot 2, pdu command : destroy : NULL }");
        EXPECT_EQ(heard(), "success|");
        ++timeslot;
    }
}

TEST_F(VoiceFactoryTest, AServerAddressThatFailsAtOnceRefusesTheConnectAndARecordingEndsWithItsCause)
{
    controller->deliver("{ seq 1, slot 1, pdu command : create : trunk : { trunk 0, timeslot 1 } }");
    controller->deliver("{ seq 2, slot 2, pdu command : create : voice : player : network : { host { iaddr "
                        "\"bogus\", port 9 }, id 7 } }");
    controller->deliver("{ seq 3, slot 2, pdu command : connect : 1 }");
    EXPECT_EQ(heard(), "success|transmitter : active : 1|receiver : active : 1|success|abort : 0|error : connectFail|");

    // The server takes the recording; then the channel ends, or the server goes away.
    const int listener = reactortest::bound_socket();
    listen(listener, 1);
    fcntl(listener, F_SETFL, O_NONBLOCK);
    const std::string host = "{ iaddr \"127.0.0.1\", port " + std::to_string(reactortest::local_port(listener)) + " }";
    int timeslot = 300;
    for (bool channel_ends : {true, false}) {
        board.set("/dev/mcc/ctl", "next-timeslot " + std::to_string(timeslot));
        controller->deliver("{ seq 4, slot 3, pdu command : create : voice : record : " + host + " }");
        controller->deliver("{ seq 5, slot 1, pdu command : connect : 3 }");
        int server = -1;
        ASSERT_TRUE(testsupport::run_reactor_until(
            [&] { return (server = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0; }));
        board.feed(timeslot, "AAAA");
        char received[2];
        EXPECT_TRUE(testsupport::run_reactor_until([&] { return recv(server, received, 2, MSG_PEEK) == 2; }));
        if (channel_ends) {
            board.end_of_file("/dev/mcc/ctl");
        } else {
            close(std::exchange(server, -1));
            board.feed(timeslot, std::string(8000, 'A'));
        }
        std::string text;
        EXPECT_TRUE(testsupport::run_reactor_until([&] { return (text += heard()).find("stop") != text.npos; }));
        const std::string cause = channel_ends ? "userRequest" : "connectionAborted";
        EXPECT_EQ(text, "success|receiver : active : " + std::to_string(timeslot) +
                            "|success|ioctl : stopRecording : " + cause + "|");
        if (server >= 0)
            close(server);
        controller->deliver("{ seq 6, slot 3, pdu command : destroy : NULL }");
        heard();
        ++timeslot;
    }
    close(listener);
}

}  // namespace
