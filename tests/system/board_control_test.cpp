// The board control services in the running gateway: the TDM clock source, the backplane test,
// CAS on the E1 trunks and the BRI line-interface chips, driven by a controller and checked in
// the board emulator's journal.

#include "gateway.h"

#include "support/journal_requests.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <thread>
#include <utility>

namespace {

using namespace systemtest;
using Strings = std::vector<std::string>;

const milliseconds answer_time(10000);

// The journal's requests of the device whose name starts with the prefix, as
// "<request> <fields> -> <result>".
Strings requests(testsupport::BoardEmulator& board, const std::string& device, const std::string& prefix)
{
    Strings lines;
    for (const std::string& line : testsupport::device_requests(board, device))
        if (line.compare(0, prefix.size(), prefix) == 0)
            lines.push_back(line);
    return lines;
}

// A controller that ends soon after its input: the gateway keeps it busy with status reports.
std::unique_ptr<ControllerProcess> controller(Gateway& gateway, const std::string& name = "controller")
{
    return std::make_unique<ControllerProcess>(gateway.port, gateway.root.path(), name, Strings{"--timeout", "300"});
}

std::string answer(int seq, const std::string& response)
{
    return "{ seq " + std::to_string(seq) + ", pdu response : " + response + " }";
}

std::string test_bpc(int seq, const std::string& mode, int bus, int start, int length)
{
    return "{ seq " + std::to_string(seq) + ", pdu command : testBpc : { bus " + std::to_string(bus) + ", seed 1, mode " +
           mode + " : NULL, timeslot-start " + std::to_string(start) + ", timeslot-length " + std::to_string(length) +
           " } }";
}

TEST(BoardControl, TheClockRunsFreeOnConnectLossAndShutdownAndTheControllerMayChooseIt)
{
    Gateway gateway;
    auto selections = [&gateway] { return requests(gateway.board, "/dev/hal", "clock-select"); };
    auto selected = [](int source) { return "clock-select source=" + std::to_string(source) + " -> 0"; };
    auto link = controller(gateway);
    link->send("{ seq 1, pdu command : clockCfg : { clkSel0 external, bextEn enabled, source 2 } }");
    EXPECT_EQ(link->wait_for("seq 1", answer_time), answer(1, "success : NULL"));
    EXPECT_EQ(link->finish(answer_time), 0);
    EXPECT_TRUE(eventually([&] { return selections().size() >= 3; }, answer_time));  // on connect, chosen, on loss
    EXPECT_EQ(gateway.stop(), 0);
    EXPECT_EQ(selections(), (Strings{selected(4), selected(2), selected(4), selected(4)}));
}

TEST(BoardControl, TheBackplaneTestWritesThePatternAndReadsItBack)
{
    Gateway gateway;
    auto link = controller(gateway);
    // What the connect does on the board goes before the test.
    EXPECT_TRUE(eventually([&] { return !requests(gateway.board, "/dev/hal", "clock-select").empty(); },
                           answer_time));
    gateway.board.clear_journal();
    link->send(test_bpc(1, "write", 2, 5, 3));
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
    link->send(test_bpc(2, "write", 2, 5, 3));
    link->send(test_bpc(3, "read", 2, 5, 3));
    EXPECT_EQ(link->wait_for("seq 2", answer_time), answer(2, "error : busError"));
    EXPECT_EQ(link->wait_for("seq 3", answer_time), answer(3, "error : busError"));

    gateway.board.clear_journal();
    link->send(test_bpc(4, "disconnect", 2, 5, 3));
    EXPECT_EQ(link->wait_for("seq 4", answer_time), answer(4, "success : NULL"));
    EXPECT_EQ(testsupport::switch_requests(gateway.board),
              (Strings{"disable output=8453 -> 0", "disable output=8454 -> 0", "disable output=8455 -> 0"}));
}

TEST(BoardControl, CasIsCarriedForTheControllerAndClosedWhenItGoes)
{
    Gateway gateway;
    gateway.board.set("/dev/e1-cas", "rx 3 6 10");
    auto link = controller(gateway);
    link->send("{ seq 1, pdu command : ioctl : cas : { channel { path 3, timeslot 6 }, cmd open : 5 } }");
    EXPECT_EQ(link->wait_for("signal : cas", answer_time),
              "{ pdu signal : cas : { channel { path 3, timeslot 0 }, rx 0, tx 0 } }");
    EXPECT_EQ(link->wait_for("signal : cas", answer_time),
              "{ pdu signal : cas : { channel { path 3, timeslot 6 }, rx 10, tx 5 } }");
    EXPECT_EQ(link->wait_for("seq 1", answer_time), answer(1, "success : NULL"));

    // The far end changes its bits: the driver reports it.
    gateway.board.set("/dev/e1-cas", "rx 3 6 5");
    EXPECT_EQ(link->wait_for("signal : cas", answer_time),
              "{ pdu signal : cas : { channel { path 3, timeslot 6 }, rx 5, tx 5 } }");

    gateway.board.clear_journal();
    EXPECT_EQ(link->finish(answer_time), 0);
    auto closes = [&gateway] { return requests(gateway.board, "/dev/e1-cas", "trunk-close"); };
    EXPECT_TRUE(eventually([&] { return !closes().empty(); }, answer_time));
    std::this_thread::sleep_for(milliseconds(200));
    EXPECT_EQ(closes(), (Strings{"trunk-close trunk=3 -> 0"}));
}

TEST(BoardControl, BriChipsAreSetUpAtStartAndTheirLineStatusReportedToTheController)
{
    Gateway::Options options;
    options.start = false;
    Gateway gateway(options);
    gateway.board.set("/dev/hal", "spi 0 51 0x21");
    gateway.start();

    Strings expected;
    for (int chip = 0; chip < 8; ++chip)
        for (auto [reg, data] : {std::pair{50, 0x80}, {48, 0x08}, {87, 0x30}, {52, 0x60}, {53, 0}, {54, 0}, {55, 0},
                                 {50, 0}})
            expected.push_back("spi-write chip=" + std::to_string(chip) + " reg=" + std::to_string(reg) +
                               " data=" + std::to_string(data) + " -> 0");
    EXPECT_EQ(requests(gateway.board, "/dev/hal", "spi-"), expected);

    auto link = controller(gateway);
    EXPECT_EQ(link->wait_for("type bri", answer_time),
              "{ pdu signal : trunkStatus : { trunk 0, state lossBF, slips 1, lossBF 0, lossCarrier 0, lossAIS 0, "
              "lossRAI 0, name \"\", clockMaster FALSE, type bri } }");
    EXPECT_EQ(link->finish(answer_time), 0);
}

}  // namespace
