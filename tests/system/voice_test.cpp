// Voice players and recorders driven by the test controller, with the play and record servers in
// this process: what the channels carry (the emulator's capture and feed), what the servers get
// and what the controller hears.

#include "gateway.h"

#include "../foundation/reactor/reactor_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <poll.h>
#include <utility>

namespace {

using namespace systemtest;
using Strings = std::vector<std::string>;

const milliseconds answer_time(10000);

// A play or record server on a free local port (or a port that refuses), and the daemon's
// connection once accepted.
struct VoiceServer {
    explicit VoiceServer(bool listening = true)
    {
        if (listening)
            listen(listener, 1);
    }
    ~VoiceServer() { close(listener), hang_up(); }
    void hang_up() { close(std::exchange(peer, -1)); }
    // The first `count` octets the daemon sends, after taking its connection.
    std::string receive(size_t count)
    {
        pollfd ready{listener, POLLIN, 0};
        if (peer < 0 && poll(&ready, 1, 10000) == 1 && (peer = accept(listener, nullptr, nullptr)) >= 0)
            setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, &wait_limit, sizeof wait_limit);
        std::string taken(count, '\0');
        return taken.substr(0, std::max<ssize_t>(0, recv(peer, taken.data(), count, MSG_WAITALL)));
    }

    static constexpr timeval wait_limit{10, 0};
    int listener = reactortest::bound_socket();
    const std::string host = "{ iaddr \"127.0.0.1\", port " + std::to_string(reactortest::local_port(listener)) + " }";
    int peer = -1;
};

class VoiceSlots : public ::testing::Test {
protected:
    VoiceSlots() { gateway.board.set("/dev/mcc/ctl", "rate 1000000"); }

    void send(int seq, int slot, const std::string& command)
    {
        controller->send("{ seq " + std::to_string(seq) + ", slot " + std::to_string(slot) + ", pdu command : " +
                         command + " }");
    }
    // What the controller heard about the slot, once it has heard a message that holds `last`
    // or nothing more for `quiet` (without `last`: what it has heard so far).
    Strings heard(int slot, const std::string& last = "", milliseconds quiet = answer_time)
    {
        auto holds = [&last](const std::string& message) { return message.find(last) != std::string::npos; };
        for (std::optional<std::string> message; !last.empty() && std::none_of(heard_.begin(), heard_.end(), holds) &&
                                                 (message = controller->next(quiet));)
            heard_.push_back(*message);
        Strings about;
        for (const std::string& message : heard_)
            if (message.find("slot " + std::to_string(slot) + ",") != std::string::npos)
                about.push_back(message);
        return about;
    }
    bool logged(const std::string& line) { return gateway.daemon->errors().find(line + "\n") != std::string::npos; }
    // The capture of the time slot once it holds `size` octets: the channel plays out what the
    // daemon left queued after its end.
    std::string captured(int timeslot, size_t size)
    {
        eventually([&] { return gateway.board.capture(timeslot).size() >= size; }, answer_time);
        return gateway.board.capture(timeslot);
    }

    Gateway gateway{Gateway::quiet()};
    std::unique_ptr<ControllerProcess> controller = gateway.controller();
    Strings heard_;
};

TEST_F(VoiceSlots, AFilePlayerPlaysItsPassesInOrderAndEndsOnceAndNamesOutsideTheVoiceDirectoryOpenNothing)
{
    const std::string a(3000, 'a'), b(10000, 'b');
    gateway.root.write_file("/usr/local/voice/a", a);
    gateway.root.write_file("/usr/local/voice/sub/b", b);
    gateway.root.write_file("/usr/local/x", a);
    send(1, 1, "create : trunk : { trunk 0, timeslot 1 }");
    send(2, 2, "create : voice : player : file : { name { \"a\", \"sub/b\" }, repeat 2 }");
    send(3, 3, "create : voice : player : file : { name { \"../x\" }, repeat 1 }");
    send(4, 2, "connect : 1");
    send(5, 3, "connect : 1");
    EXPECT_EQ(heard(2, "{ slot 2, pdu signal : abort : 0 }"),
              (Strings{"{ seq 2, slot 2, pdu response : success : NULL }",
                       "{ slot 2, pdu signal : transmitter : active : 256 }",
                       "{ seq 4, slot 2, pdu response : success : NULL }",
                       "{ slot 2, pdu signal : transmitter : inactive : NULL }",
                       "{ slot 2, pdu signal : abort : 0 }"}));
    EXPECT_TRUE(captured(256, 2 * (a.size() + b.size())) == a + b + a + b);

    // Neither player says more, however many reactor passes follow.
    EXPECT_EQ(heard(2, "no such message", milliseconds(3000)).size(), 5u);
    EXPECT_EQ(heard(3), (Strings{"{ seq 3, slot 3, pdu response : success : NULL }",
                                 "{ seq 5, slot 3, pdu response : error : connectFail }",
                                 "{ slot 3, pdu signal : abort : 0 }"}));
    EXPECT_TRUE(logged("player[257]: prompt \"../x\" is outside /usr/local/voice/, skipped"));
}

TEST_F(VoiceSlots, PlayAndRecordServersGetTheirStreamsAndTheirEndsAreReportedWhileTheResourcesStayTheSame)
{
    gateway.board.set("/dev/voice", "channels 1 60");
    controller->send("{ seq 1, pdu command : query : NULL }");
    std::optional<std::string> resources = controller->wait_for("rtp-g711 60, ", answer_time);
    VoiceServer play, record, refusing(false);
    send(2, 1, "create : trunk : { trunk 0, timeslot 1 }");
    send(3, 2, "create : voice : player : network : { host " + play.host + ", id 7 }");
    send(4, 3, "create : voice : player : network : { host " + refusing.host + ", id 1 }");
    send(5, 4, "create : voice : record : " + record.host);
    send(6, 5, "create : trunk : { trunk 0, timeslot 2 }");
    send(7, 2, "connect : 1");
    send(8, 3, "connect : 5");

    EXPECT_EQ(play.receive(4), std::string("\0\0\0\7", 4));
    EXPECT_NE(heard(2, "startPlaying").back().find("pdu signal : ioctl : startPlaying"), std::string::npos);
    const std::string played(5000, 'p');
    ASSERT_EQ(::send(play.peer, played.data(), played.size(), 0), ssize_t(played.size()));
    play.hang_up();
    EXPECT_EQ(heard(2, "{ slot 2, pdu signal : abort : 0 }").size(), 6u);
    EXPECT_TRUE(captured(256, played.size()) == played);
    EXPECT_EQ(heard(3, "{ slot 3, pdu signal : abort : 0 }").back(), "{ slot 3, pdu signal : abort : 0 }");
    EXPECT_TRUE(logged("player[257]: connection to " + reactortest::local_address(refusing.listener) + " fail."));

    // The recorder's server goes away while octets arrive.
    send(9, 1, "connect : 4");
    gateway.board.feed(258, std::string(6000, 'A'));
    EXPECT_TRUE(record.receive(3000) == std::string(3000, '\xAA'));
    record.hang_up();
    gateway.board.feed(258, "5555");
    EXPECT_EQ(heard(4, "stopRecording").back(), "{ slot 4, pdu signal : ioctl : stopRecording : connectionAborted }");

    controller->send("{ seq 10, pdu command : query : NULL }");
    EXPECT_EQ(controller->wait_for("pdu signal : query", answer_time), resources);
}

}  // namespace
