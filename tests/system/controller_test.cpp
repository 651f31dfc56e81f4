// The daemon driven as a controller would drive it: through the test controller, and byte for byte
// on the wire, so that our encoder and decoder cannot share a mistake unseen.

#include "gateway.h"
#include "tpkt_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
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
