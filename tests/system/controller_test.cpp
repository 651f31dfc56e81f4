// The daemon driven as a controller would drive it: through the test controller, and byte for byte
// on the wire, so that our encoder and decoder cannot share a mistake unseen.

#include "gateway.h"
#include "tpkt_client.h"

#include "foundation/os/fd.h"

#include <gtest/gtest.h>

#include <chrono>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <utility>

namespace {

using namespace systemtest;

// Most gateways here run a quiet board: the controller hears only what it asks for, and it ends a
// second after its input or its last answer.
const milliseconds answer_time(10000);

std::string success(int seq) { return "{ seq " + std::to_string(seq) + ", pdu response : success : NULL }"; }

TEST(Controller, QueryAndSighupSendTheResourceReportAndTheMonitoringServiceTakesDisplay)
{
    const char report[] =
        "{ pdu signal : query : { boardMajor 0, boardMinor 0, rtp-g729 0, rtp-g723 0, rtp-g711 0, rtp-g711mcc 0, "
        "modem 0, mixer { }, mux TRUE, mcc-data 0, mcc-bri 0, mcc-trans 0, echoBus { }, t38-instances 0, "
        "digital-modems 0, lin16 0, universal 0 } }";
    Gateway gateway(Gateway::quiet());
    auto controller = gateway.controller();
    controller->send("{ seq 1, pdu command : query : NULL }");
    EXPECT_EQ(controller->next(answer_time), success(1));
    EXPECT_EQ(controller->next(answer_time), report);
    gateway.daemon->signal(SIGHUP);
    EXPECT_EQ(controller->next(answer_time), report);
    // The monitoring service, bound last, takes display.
    controller->send("{ seq 2, pdu command : display : snmpTrapReceivers : { \"10.0.0.1\" } }");
    EXPECT_EQ(controller->next(answer_time), success(2));
    EXPECT_EQ(controller->finish(answer_time), 0);
}

TEST(Controller, OneControllerAtATime)
{
    Gateway gateway(Gateway::quiet());
    auto first = gateway.controller("first");
    first->send("{ seq 1, pdu command : ping : NULL }");
    ASSERT_EQ(first->next(answer_time), success(1));

    auto second = gateway.controller("second");
    EXPECT_TRUE(gateway.daemon->wait_for_errors("refuse connection from 127.0.0.1:", answer_time));
    EXPECT_EQ(second->finish(answer_time), 1);
    EXPECT_NE(second->process().errors().find("controller: connection closed by the gateway\n"), std::string::npos);
    first->send("{ seq 2, pdu command : ping : NULL }");
    EXPECT_EQ(first->next(answer_time), success(2));

    // Once the first has gone, the next is served.
    EXPECT_EQ(first->finish(answer_time), 0);
    EXPECT_TRUE(answered_ping(gateway.port, answer_time));
}

// The tool run to its end with the messages as arguments.
Finished run_controller(const Gateway& gateway, const std::string& timeout_ms, const std::string& message)
{
    return run_program(build_program("controller"),
                       {"--port", std::to_string(gateway.port), "--timeout", timeout_ms, message}, gateway.root.path());
}

TEST(Controller, ACommandWithoutAnswerWhenTheTimeOutEndsIsReported)
{
    // A daemon that does not read, as while it pauses after a controller left; stopped, so that
    // the answer cannot come however slowly the tool starts.
    Gateway gateway(Gateway::quiet());
    gateway.daemon->signal(SIGSTOP);
    Finished run = run_controller(gateway, "300", "{ seq 1, pdu command : ping : NULL }");
    gateway.daemon->signal(SIGCONT);
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(run.errors, "controller: no answer to seq 1\n");
}

TEST(Controller, EndsTheTimeOutAfterTheAnswerWhileSignalsGoOn)
{
    // The full board reports its trunks at connect and every second.
    Gateway gateway;
    auto start = std::chrono::steady_clock::now();
    Finished run = run_controller(gateway, "3000", "{ seq 1, pdu command : ping : NULL }");
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(run.exit_status, 0) << run.errors;
    EXPECT_NE(run.output.find("pdu signal : trunkStatus"), std::string::npos);
    EXPECT_NE(run.output.find("seq 1,\n  pdu response : success : NULL"), std::string::npos);
    // The answer came after the start; the tool had 30 s to end before run_controller gave up.
    EXPECT_GE(took, milliseconds(3000));
    EXPECT_LT(took, milliseconds(25000));
}

// A loopback port standing for the gateway, held by this process: listening, it takes one
// controller at a time to send it bytes; else it refuses connections.
class StandInGateway {
public:
    explicit StandInGateway(bool listening) : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in address = testsupport::loopback(0);
        socklen_t length = sizeof address;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || (listening && listen(fd_, 8) != 0) ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("cannot hold a loopback port");
        port = ntohs(address.sin_port);
    }
    ~StandInGateway() { close(fd_); }

    // Takes the controller's connection and sends it the bytes; the connection stays open until
    // hang_up().
    void send_to_next(const Bytes& bytes)
    {
        pollfd ready{fd_, POLLIN, 0};
        ASSERT_EQ(poll(&ready, 1, 10000), 1);
        connection_ = Fd(accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC));
        ASSERT_EQ(send(connection_, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
    }

    void hang_up() { connection_.close(); }

    int port = 0;

private:
    int fd_;
    Fd connection_;
};

// The controller's exit status once it has ended by itself, and what it wrote to its errors.
std::pair<int, std::string> ended(testsupport::ProgramProcess& controller)
{
    int status = controller.wait(answer_time);
    return {status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1, controller.errors()};
}

TEST(ControllerTool, EndsWithOneOnWhatItCannotReadSendDecodeOrReachAndWithTwoOnAWrongCommandLine)
{
    testsupport::TempRoot root;
    const std::string tool = build_program("controller");
    auto run = [&](std::vector<std::string> arguments) { return run_program(tool, arguments, root.path()); };
    for (const std::vector<std::string>& wrong : {std::vector<std::string>{"--frobnicate"}, {"--timeout", "soon"},
                                                   {"--timeout", "-1"}, {"--timeout", "86400001"}, {"-h"}}) {
        Finished usage = run(wrong);
        EXPECT_EQ(usage.exit_status, 2) << wrong[0];
        EXPECT_EQ(usage.errors.rfind("usage: controller [--host H] [--port P] [--timeout MS] ", 0), 0u);
    }

    StandInGateway refusing(false);
    Finished refused = run({"--port", std::to_string(refusing.port), "{ seq 1, pdu command : ping : NULL }"});
    EXPECT_EQ(refused.exit_status, 1);
    EXPECT_EQ(refused.errors, "controller: cannot connect to 127.0.0.1:" + std::to_string(refusing.port) + ": " +
                                  std::strerror(ECONNREFUSED) + "\n");

    // Messages it cannot read or encode are skipped with a line, one too long for a frame ends it.
    StandInGateway gateway(true);
    const std::string port = std::to_string(gateway.port);
    Finished skipped = run({"--port", port, "--timeout", "100", "{ seq 1, pdu command : ping",
                            "{ seq 2, slot 1, pdu command : connect : 2000 }", "  "});
    EXPECT_EQ(skipped.exit_status, 1);
    EXPECT_EQ(skipped.errors, "controller: not an LGCP message: { seq 1, pdu command : ping\n"
                              "controller: cannot encode: { seq 2, slot 1, pdu command : connect : 2000 }\n");
    std::string receivers;
    for (int i = 0; i < 80; ++i)
        receivers += (i ? ", \"" : "\"") + std::string(1000, 'r') + '"';
    ControllerProcess too_long(gateway.port, root.path(), "too-long");
    too_long.send("{ seq 3, pdu command : display : snmpTrapReceivers : { " + receivers + " } }");
    EXPECT_EQ(too_long.finish(answer_time), 1);
    EXPECT_EQ(too_long.process().errors().substr(0, 100), "controller: message too long for a frame\n");

    // A frame whose message does not decode is shown in hexadecimal; bytes that are no frame end it.
    StandInGateway undecodable_gateway(true);
    ProgramProcess undecodable(tool, {"--port", std::to_string(undecodable_gateway.port), "--timeout", "60000"},
                               root.path(), "undecodable");
    undecodable_gateway.send_to_next({0x03, 0x00, 0x00, 0x06, 0xFF, 0x00});
    undecodable_gateway.hang_up();
    EXPECT_EQ(ended(undecodable),
              std::pair(1, std::string("controller: cannot decode: FF 00\ncontroller: connection closed by the gateway\n")));
    StandInGateway garbling_gateway(true);
    ProgramProcess no_frame(tool, {"--port", std::to_string(garbling_gateway.port), "--timeout", "60000"}, root.path(),
                            "no-frame");
    garbling_gateway.send_to_next({'G', 'E', 'T', ' ', '/'});
    EXPECT_EQ(ended(no_frame), std::pair(1, std::string("controller: not a TPKT frame\n")));
}

TEST(RawAnswers, AnswersCarryTheSeqAndSlotOfTheirCommandAndWhatNoServiceTakesIsAnError)
{
    // No trunk status reports: after the power state at connect, every frame that comes back is an
    // answer.
    Gateway gateway{Gateway::quiet()};
    TpktClient client(gateway.port);
    std::optional<Bytes> power = client.receive_frame(milliseconds(10000));
    EXPECT_EQ(power ? hex(*power) : "none", "03 00 00 06 24 40");
    const std::vector<std::pair<Bytes, std::string>> exchanges{
        {ping_frame, ping_answer},
        // ping without seq
        {{0x03, 0x00, 0x00, 0x06, 0x06, 0x00}, "03 00 00 05 10"},
        // destroy, seq 7, slot 1024: invalidSlot, without the slot
        {{0x03, 0x00, 0x00, 0x0A, 0xC0, 0x01, 0x07, 0x04, 0x00, 0x0A}, "03 00 00 08 80 01 07 62"},
        // a response sent by the controller: unexpectedMsgType
        {{0x03, 0x00, 0x00, 0x08, 0x80, 0x01, 0x07, 0x40}, "03 00 00 08 80 01 07 64"},
        // query with slot 5: claimed by nobody, so unexpectedMsgType carrying the slot
        {{0x03, 0x00, 0x00, 0x0A, 0xC0, 0x01, 0x07, 0x00, 0x05, 0x00}, "03 00 00 0A C0 01 07 00 05 64"},
    };
    for (const auto& [frame, answer] : exchanges) {
        client.send_raw(frame);
        std::optional<Bytes> received = client.receive_frame(milliseconds(10000));
        EXPECT_EQ(received ? hex(*received) : "none", answer) << hex(frame);
    }
}

}  // namespace
