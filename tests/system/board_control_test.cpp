// The board control services in the running gateway: the TDM clock source, the backplane test,
// the E1 trunks and the BRI line-interface chips, driven by a controller and checked in the board
// emulator's journal.

#include "gateway.h"

#include "support/journal_requests.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

using namespace systemtest;
using Strings = std::vector<std::string>;
using testsupport::device_requests;

const milliseconds answer_time(10000);

// A controller that ends soon after its input: the gateway keeps it busy with status reports.
std::unique_ptr<ControllerProcess> controller(Gateway& gateway)
{
    return std::make_unique<ControllerProcess>(gateway.port, gateway.root.path(), "controller",
                                               Strings{"--timeout", "300"});
}

std::string answer(int seq, const std::string& response)
{
    return "{ seq " + std::to_string(seq) + ", pdu response : " + response + " }";
}

// The backplane test of time slots 5 to 7 on bus 2.
std::string test_bpc(int seq, const std::string& mode)
{
    return "{ seq " + std::to_string(seq) + ", pdu command : testBpc : { bus 2, seed 1, mode " + mode +
           " : NULL, timeslot-start 5, timeslot-length 3 } }";
}

TEST(BoardControl, TheBackplaneTestWritesThePatternAndReadsItBack)
{
    Gateway gateway;
    auto link = controller(gateway);
    // What the connect does on the board (the clock runs free) goes before the test.
    EXPECT_TRUE(eventually([&] { return !device_requests(gateway.board, "/dev/hal", "clock-select").empty(); },
                           answer_time));
    gateway.board.clear_journal();
    link->send(test_bpc(1, "write"));
    EXPECT_EQ(link->wait_for("seq 1", answer_time), answer(1, "success : NULL"));
    // The pattern: the low bytes of random() after srandom(seed), written, then read back.
    srandom(1);
    int bytes[3];
    Strings expected(6);
    for (int i = 0; i < 3; ++i) {
        bytes[i] = static_cast<int>(random() & 0xFF);
        std::string channel = std::to_string(8453 + i), byte = std::to_string(bytes[i]);
        expected[i] = "write output=" + channel + " value=" + byte + " -> 0";
        expected[3 + i] = "read channel=" + channel + " value=255 -> 0 byte=" + byte;
    }
    EXPECT_EQ(testsupport::switch_requests(gateway.board), expected);

    // Another party drives a wrong byte onto the second time slot: both modes see it.
    int wrong = bytes[1] ^ 0x81;
    gateway.board.set("/dev/hal", "remote 8454 " + std::to_string(wrong));
    link->send(test_bpc(2, "write"));
    link->send(test_bpc(3, "read"));
    EXPECT_EQ(link->wait_for("seq 2", answer_time), answer(2, "error : busError"));
    EXPECT_EQ(link->wait_for("seq 3", answer_time), answer(3, "error : busError"));

    gateway.board.clear_journal();
    link->send(test_bpc(4, "disconnect"));
    EXPECT_EQ(link->wait_for("seq 4", answer_time), answer(4, "success : NULL"));
    EXPECT_EQ(testsupport::switch_requests(gateway.board),
              (Strings{"disable output=8453 -> 0", "disable output=8454 -> 0", "disable output=8455 -> 0"}));
}

TEST(BoardControl, BriChipsAreSetUpAtStartTheTrunksReportedToTheControllerAndTheClockMayBeLeftAlone)
{
    Gateway::Options options;
    options.start = false;
    options.arguments = {"--disable-clock"};
    Gateway gateway(options);
    gateway.board.set("/dev/hal", "spi 0 51 0x21");
    gateway.start();

    EXPECT_EQ(device_requests(gateway.board, "/dev/hal", "spi-").size(), 8u * 8);  // the set-up of each chip

    auto link = controller(gateway);
    EXPECT_TRUE(link->wait_for("type e1", answer_time));  // the E1 trunks' report comes first
    EXPECT_EQ(link->wait_for("type bri", answer_time),
              "{ pdu signal : trunkStatus : { trunk 0, state lossBF, slips 1, lossBF 0, lossCarrier 0, lossAIS 0, "
              "lossRAI 0, name \"\", clockMaster FALSE, type bri } }");
    // The connect came before the report.
    EXPECT_TRUE(device_requests(gateway.board, "/dev/hal", "clock-select").empty());
    EXPECT_EQ(link->finish(answer_time), 0);
}

}  // namespace
