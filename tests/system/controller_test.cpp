// The daemon driven by the test controller, as a controller would drive it.

#include "gateway.h"
#include "tpkt_client.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

using namespace systemtest;

// The gateways run a quiet board: the controller hears only what it asks for, and with nothing
// else arriving it ends a second after its input.
const milliseconds answer_time(10000);

const char empty_report[] =
    "{ pdu signal : query : { boardMajor 0, boardMinor 0, rtp-g729 0, rtp-g723 0, rtp-g711 0, rtp-g711mcc 0, "
    "modem 0, mixer { }, mux TRUE, mcc-data 0, mcc-bri 0, mcc-trans 0, echoBus { }, t38-instances 0, "
    "digital-modems 0, lin16 0, universal 0 } }";

TEST(Controller, QueryIsAnsweredThenTheResourceReportFollows)
{
    Gateway gateway(Gateway::quiet());
    auto controller = gateway.controller();
    controller->send("{ seq 1, pdu command : ping : NULL }");
    controller->send("{ seq 2, pdu command : query : NULL }");
    EXPECT_EQ(controller->next(answer_time), "{ seq 1, pdu response : success : NULL }");
    EXPECT_EQ(controller->next(answer_time), "{ seq 2, pdu response : success : NULL }");
    EXPECT_EQ(controller->next(answer_time), empty_report);

    // The monitoring service, bound last, takes display.
    controller->send("{ seq 5, pdu command : display : snmpTrapReceivers : { \"10.0.0.1\" } }");
    EXPECT_EQ(controller->next(answer_time), "{ seq 5, pdu response : success : NULL }");
    EXPECT_EQ(controller->finish(answer_time), 0);
}

TEST(Controller, TheControllerToolFailsOnWhatItCannotReadOrReach)
{
    Gateway gateway(Gateway::quiet());
    auto controller = gateway.controller();
    controller->send("{ seq 1, pdu command : ping");
    controller->send("{ seq 2, pdu command : ping : NULL }");
    EXPECT_EQ(controller->next(answer_time), "{ seq 2, pdu response : success : NULL }");
    EXPECT_EQ(controller->finish(answer_time), 1);
    EXPECT_NE(controller->process().errors().find("controller: not an LGCP message: { seq 1, pdu command : ping\n"),
              std::string::npos);

    Finished refused = run_program(build_program("controller"), {"--port", std::to_string(testsupport::unused_port()), "{ }"},
                                   gateway.root.path());
    EXPECT_EQ(refused.exit_status, 1);
    EXPECT_NE(refused.errors.find("controller: cannot connect to 127.0.0.1:"), std::string::npos);
}

TEST(Controller, OneControllerAtATime)
{
    Gateway gateway(Gateway::quiet());
    auto first = gateway.controller("first");
    first->send("{ seq 1, pdu command : ping : NULL }");
    ASSERT_EQ(first->next(answer_time), "{ seq 1, pdu response : success : NULL }");

    auto second = gateway.controller("second");
    EXPECT_EQ(second->finish(answer_time), 1);
    EXPECT_NE(second->process().errors().find("controller: connection closed by the server"), std::string::npos);
    EXPECT_TRUE(gateway.daemon->wait_for_errors("refuse connection from 127.0.0.1:", answer_time));
    first->send("{ seq 2, pdu command : ping : NULL }");
    EXPECT_EQ(first->next(answer_time), "{ seq 2, pdu response : success : NULL }");

    EXPECT_EQ(first->finish(milliseconds(5000)), 0);
    TpktClient third(gateway.port);
    third.send_raw({0x03, 0x00, 0x00, 0x08, 0x80, 0x01, 0x07, 0x18});
    std::optional<Bytes> answer = third.receive_frame(answer_time);
    ASSERT_TRUE(answer);
    EXPECT_EQ(hex(*answer), "03 00 00 08 80 01 07 40");
}

TEST(Controller, SighupSendsOneResourceReportOnTheLiveLink)
{
    Gateway gateway(Gateway::quiet());
    auto controller = gateway.controller();
    controller->send("{ seq 1, pdu command : ping : NULL }");
    ASSERT_EQ(controller->next(answer_time), "{ seq 1, pdu response : success : NULL }");
    gateway.daemon->signal(SIGHUP);
    EXPECT_EQ(controller->next(answer_time), empty_report);
    EXPECT_TRUE(gateway.daemon->wait_for_errors("update hardware resources\n", answer_time));
    controller->send("{ seq 2, pdu command : ping : NULL }");
    EXPECT_EQ(controller->next(answer_time), "{ seq 2, pdu response : success : NULL }");
}

}  // namespace
