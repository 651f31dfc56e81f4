// The board control services in the running gateway: the TDM clock source, the backplane test,
// the E1 trunks with CAS and the BRI line-interface chips, driven by a controller and checked in
// the board emulator's journal.

#include "gateway.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace systemtest;
using Strings = std::vector<std::string>;

constexpr uint32_t spi_write = 0xC0034204;
const milliseconds answer_time(10000);

// The journal's requests of the device whose name starts with the prefix, as
// "<request> <fields> -> <result>".
Strings requests(testsupport::BoardEmulator& board, const std::string& device, const std::string& prefix)
{
    Strings lines;
    for (const testsupport::JournalEntry& entry : board.journal())
        if (entry.device == device && entry.request.compare(0, prefix.size(), prefix) == 0)
            lines.push_back(entry.request + (entry.fields.empty() ? "" : " " + entry.fields) + " -> " + entry.result);
    return lines;
}

// A controller that ends soon after its input: the gateway keeps it busy with status reports.
std::unique_ptr<ControllerProcess> controller(Gateway& gateway, const std::string& name = "controller")
{
    return std::make_unique<ControllerProcess>(gateway.port, gateway.root.path(), name, Strings{"--timeout", "300"});
}

std::string success(int seq) { return "{ seq " + std::to_string(seq) + ", pdu response : success : NULL }"; }

std::string error(int seq, const std::string& cause)
{
    return "{ seq " + std::to_string(seq) + ", pdu response : error : " + cause + " }";
}

std::string clock_cfg(int seq, const std::string& sel, const std::string& backplane, int source)
{
    return "{ seq " + std::to_string(seq) + ", pdu command : clockCfg : { clkSel0 " + sel + ", bextEn " + backplane +
           ", source " + std::to_string(source) + " } }";
}

std::string test_bpc(int seq, const std::string& mode, int bus, int seed, int start, int length)
{
    return "{ seq " + std::to_string(seq) + ", pdu command : testBpc : { bus " + std::to_string(bus) + ", seed " +
           std::to_string(seed) + ", mode " + mode + " : NULL, timeslot-start " + std::to_string(start) +
           ", timeslot-length " + std::to_string(length) + " } }";
}

std::string cas(int seq, int trunk, int timeslot, const std::string& command)
{
    return "{ seq " + std::to_string(seq) + ", pdu command : ioctl : cas : { channel { path " + std::to_string(trunk) +
           ", timeslot " + std::to_string(timeslot) + " }, cmd " + command + " } }";
}

std::string cas_signal(int trunk, int timeslot, int rx, int tx)
{
    return "{ pdu signal : cas : { channel { path " + std::to_string(trunk) + ", timeslot " +
           std::to_string(timeslot) + " }, rx " + std::to_string(rx) + ", tx " + std::to_string(tx) + " } }";
}

std::string trunk_status(int trunk, const std::string& state, const std::string& counters, const std::string& type)
{
    return "{ pdu signal : trunkStatus : { trunk " + std::to_string(trunk) + ", state " + state + ", " + counters +
           ", name \"\", clockMaster FALSE, type " + type + " } }";
}

const char no_counts[] = "slips 0, lossBF 0, lossCarrier 0, lossAIS 0, lossRAI 0";

// The messages of the list that hold the text.
Strings holding(const Strings& messages, const std::string& text)
{
    Strings found;
    for (const std::string& message : messages)
        if (message.find(text) != std::string::npos)
            found.push_back(message);
    return found;
}

// The pattern of the backplane test: the low bytes of random() after srandom(seed).
std::vector<int> pattern(unsigned seed, int length)
{
    srandom(seed);
    std::vector<int> bytes;
    for (int i = 0; i < length; ++i)
        bytes.push_back(static_cast<int>(random() & 0xFF));
    return bytes;
}

TEST(BoardControl, TheClockRunsFreeOnEveryConnectLossAndShutdownAndTheControllerMayChooseIt)
{
    Gateway gateway;
    auto selections = [&gateway] { return requests(gateway.board, "/dev/hal", "clock-select"); };
    auto selected = [](int source) { return "clock-select source=" + std::to_string(source) + " -> 0"; };
    {
        auto first = controller(gateway, "first");
        first->send(clock_cfg(1, "external", "enabled", 2));
        EXPECT_EQ(first->wait_for("seq 1", answer_time), success(1));
        EXPECT_TRUE(gateway.daemon->wait_for_errors("clkctl: clock source = f2\n", answer_time));
        EXPECT_EQ(first->finish(answer_time), 0);
    }
    EXPECT_TRUE(eventually([&] { return selections().size() >= 3; }, answer_time));
    {
        auto second = controller(gateway, "second");
        second->send(clock_cfg(1, "internal", "enabled", 2));
        EXPECT_EQ(second->wait_for("seq 1", answer_time), success(1));
        EXPECT_EQ(second->finish(answer_time), 0);
    }
    EXPECT_TRUE(eventually([&] { return selections().size() >= 6; }, answer_time));
    EXPECT_EQ(gateway.stop(), 0);
    EXPECT_EQ(selections(), (Strings{selected(4), selected(2), selected(4), selected(4), selected(4), selected(4),
                                     selected(4)}));
}

TEST(BoardControl, WithClockControlDisabledTheClockIsNeverTouched)
{
    Gateway::Options options;
    options.arguments = {"--disable-clock"};
    Gateway gateway(options);
    auto link = controller(gateway);
    link->send(clock_cfg(1, "external", "enabled", 2));
    EXPECT_EQ(link->wait_for("seq 1", answer_time), error(1, "unsupported"));
    EXPECT_EQ(link->finish(answer_time), 0);
    EXPECT_EQ(gateway.stop(), 0);
    EXPECT_EQ(requests(gateway.board, "/dev/hal", "clock-select"), Strings{});
    EXPECT_NE(gateway.daemon->errors().find("clkctl: clock control disabled.\n"), std::string::npos);
}

TEST(BoardControl, TheBackplaneTestWritesThePatternAndReadsItBack)
{
    Gateway gateway;
    auto link = controller(gateway);
    std::vector<int> bytes = pattern(1, 3);
    // What the connect does on the board goes before the test.
    EXPECT_TRUE(eventually([&] { return !requests(gateway.board, "/dev/hal", "clock-select").empty(); },
                           answer_time));
    gateway.board.clear_journal();
    link->send(test_bpc(1, "write", 2, 1, 5, 3));
    EXPECT_EQ(link->wait_for("seq 1", answer_time), success(1));
    Strings expected;
    for (int i = 0; i < 3; ++i)
        expected.push_back("write output=" + std::to_string(8453 + i) + " value=" + std::to_string(bytes[i]) + " -> 0");
    for (int i = 0; i < 3; ++i)
        expected.push_back("read channel=" + std::to_string(8453 + i) + " value=255 -> 0 byte=" +
                           std::to_string(bytes[i]));
    Strings traffic = requests(gateway.board, "/dev/hal", "write");
    Strings reads = requests(gateway.board, "/dev/hal", "read");
    traffic.insert(traffic.end(), reads.begin(), reads.end());
    EXPECT_EQ(traffic, expected);

    // Another party drives a wrong byte onto the second time slot.
    int wrong = bytes[1] ^ 0x81;
    gateway.board.set("/dev/hal", "remote 8454 " + std::to_string(wrong));
    link->send(test_bpc(2, "write", 2, 1, 5, 3));
    EXPECT_EQ(link->wait_for("seq 2", answer_time), error(2, "busError"));
    char line[64];
    std::snprintf(line, sizeof line, "bus 2: write failed on channel 6 write %02X  written %02X \n", bytes[1], wrong);
    EXPECT_TRUE(gateway.daemon->wait_for_errors(line, answer_time));

    // Read it as the other end drives it: the same wrong byte.
    link->send(test_bpc(3, "read", 2, 1, 5, 3));
    EXPECT_EQ(link->wait_for("seq 3", answer_time), error(3, "busError"));
    std::snprintf(line, sizeof line, "bus 2: test failed on channel 6 expected %02X  read %02X \n", bytes[1], wrong);
    EXPECT_TRUE(gateway.daemon->wait_for_errors(line, answer_time));

    gateway.board.clear_journal();
    link->send(test_bpc(4, "disconnect", 2, 1, 5, 3));
    link->send(test_bpc(5, "write", 7, 1, 100, 0));
    EXPECT_EQ(link->wait_for("seq 4", answer_time), success(4));
    EXPECT_EQ(link->wait_for("seq 5", answer_time), success(5));
    EXPECT_EQ(requests(gateway.board, "/dev/hal", "disable"),
              (Strings{"disable output=8453 -> 0", "disable output=8454 -> 0", "disable output=8455 -> 0"}));
    EXPECT_EQ(requests(gateway.board, "/dev/hal", "write"), Strings{});
}

TEST(BoardControl, E1TrunksReportOnConnectAndEverySecondAndTakeTheirTransmitClock)
{
    Gateway gateway;
    gateway.board.set("/dev/maintenance", "trunk 0 state=4 lossRAI=3");
    gateway.board.set("/dev/maintenance", "trunk 2 state=1 slips=12 lossBF=5");
    gateway.board.clear_journal();
    auto link = controller(gateway);
    const Strings report{
        trunk_status(0, "rai", "slips 0, lossBF 0, lossCarrier 0, lossAIS 0, lossRAI 3", "e1"),
        trunk_status(1, "normal", no_counts, "e1"),
        trunk_status(2, "lossBF", "slips 12, lossBF 5, lossCarrier 0, lossAIS 0, lossRAI 0", "e1"),
        trunk_status(3, "normal", no_counts, "e1"),
    };
    Strings first;
    for (int i = 0; i < 4; ++i)
        first.push_back(link->next(answer_time).value_or("nothing"));
    EXPECT_EQ(first, report);

    link->send("{ seq 1, pdu command : trunkCfg : { trunk 2, mode slave } }");
    EXPECT_EQ(link->wait_for("seq 1", answer_time), success(1));
    link->send("{ seq 2, pdu command : trunkCfg : { trunk 2, mode master } }");
    EXPECT_EQ(link->wait_for("seq 2", answer_time), success(2));
    EXPECT_EQ(requests(gateway.board, "/dev/maintenance", "tclk"),
              (Strings{"tclk mask=0 -> 0", "tclk mask=4 -> 0", "tclk mask=0 -> 0"}));
    EXPECT_TRUE(gateway.daemon->wait_for_errors("E1: TCLT = 0x4\n", answer_time));

    std::this_thread::sleep_for(milliseconds(2600));
    Strings later = holding(link->take_all(), "type e1");
    ASSERT_GE(later.size(), 8u);
    EXPECT_EQ(Strings(later.begin(), later.begin() + 4), report);
    std::vector<unsigned long> times;
    for (const testsupport::JournalEntry& entry : gateway.board.journal())
        if (entry.request == "trunk-status" && entry.fields == "trunk=0")
            times.push_back(entry.time_ms);
    ASSERT_GE(times.size(), 3u);
    for (size_t i = 1; i < times.size(); ++i) {
        EXPECT_GE(times[i] - times[i - 1], 990u);
        EXPECT_LE(times[i] - times[i - 1], 2500u);
    }
}

TEST(BoardControl, WithoutTheMaintenanceDeviceNoE1TrunkReportsAndNothingComplains)
{
    Gateway::Options options;
    options.start = false;
    Gateway gateway(options);
    gateway.board.set_absent("/dev/maintenance", true);
    gateway.start();
    auto link = controller(gateway);
    link->send("{ seq 1, pdu command : trunkCfg : { trunk 1, mode slave } }");
    EXPECT_EQ(link->wait_for("seq 1", answer_time), success(1));
    std::this_thread::sleep_for(milliseconds(2200));
    EXPECT_EQ(holding(link->take_all(), "type e1"), Strings{});
    Strings e1_lines;
    std::istringstream errors(gateway.daemon->errors());
    for (std::string line; std::getline(errors, line);)
        if (line.compare(0, 4, "E1: ") == 0)
            e1_lines.push_back(line);
    EXPECT_EQ(e1_lines, Strings{"E1: cas interface opened!"});
}

TEST(BoardControl, CasIsCarriedForTheControllerAndClosedWhenItGoes)
{
    Gateway gateway;
    gateway.board.set("/dev/e1-cas", "rx 3 6 10");
    auto link = controller(gateway);
    link->send(cas(1, 0, 0, "open : 0"));
    link->send(cas(2, 3, 6, "open : 5"));
    link->send(cas(3, 3, 6, "set : 7"));
    Strings cas_traffic;
    while (cas_traffic.size() < 7) {
        std::optional<std::string> message = link->next(answer_time);
        if (!message)
            break;
        if (message->find("trunkStatus") == std::string::npos)
            cas_traffic.push_back(*message);
    }
    EXPECT_EQ(cas_traffic, (Strings{cas_signal(0, 0, 0, 0), success(1), cas_signal(3, 0, 0, 0),
                                    cas_signal(3, 6, 10, 5), success(2), cas_signal(3, 6, 10, 7), success(3)}));

    // The far end changes its bits: the driver reports it.
    gateway.board.set("/dev/e1-cas", "rx 3 6 5");
    EXPECT_EQ(link->wait_for("signal : cas", answer_time), cas_signal(3, 6, 5, 7));

    gateway.board.clear_journal();
    EXPECT_EQ(link->finish(answer_time), 0);
    EXPECT_TRUE(eventually([&] { return requests(gateway.board, "/dev/e1-cas", "trunk-close").size() >= 2; },
                           answer_time));
    std::this_thread::sleep_for(milliseconds(200));
    EXPECT_EQ(requests(gateway.board, "/dev/e1-cas", "trunk-close"),
              (Strings{"trunk-close trunk=0 -> 0", "trunk-close trunk=3 -> 0"}));
}

TEST(BoardControl, BriChipsAreSetUpAtStartAndReportedEverySecondWhileAControllerIsConnected)
{
    Gateway::Options options;
    options.start = false;
    Gateway gateway(options);
    const int line_status[8] = {0xC5, 0x85, 0x45, 0x01, 0x00, 0xE5, 0xC5, 0xC5};
    for (int chip = 0; chip < 8; ++chip)
        gateway.board.set("/dev/hal", "spi " + std::to_string(chip) + " 51 " + std::to_string(line_status[chip]));
    gateway.start();

    Strings expected;
    for (int chip = 0; chip < 8; ++chip)
        for (auto [reg, data] : {std::pair{50, 0x80}, {48, 0x08}, {87, 0x30}, {52, 0x60}, {53, 0}, {54, 0}, {55, 0},
                                 {50, 0}})
            expected.push_back("spi-write chip=" + std::to_string(chip) + " reg=" + std::to_string(reg) +
                               " data=" + std::to_string(data) + " -> 0");
    EXPECT_EQ(requests(gateway.board, "/dev/hal", "spi-"), expected);

    auto link = controller(gateway);
    std::optional<std::string> first = link->wait_for("type bri", answer_time);
    Strings bri{first.value_or("nothing")};
    while (bri.size() < 8)
        bri.push_back(link->next(answer_time).value_or("nothing"));
    EXPECT_EQ(bri, (Strings{trunk_status(0, "normal", no_counts, "bri"),
                            trunk_status(1, "rai", no_counts, "bri"),
                            trunk_status(2, "ais", no_counts, "bri"),
                            trunk_status(3, "lossBF", no_counts, "bri"),
                            trunk_status(4, "lossCarrier", no_counts, "bri"),
                            trunk_status(5, "normal", "slips 1, lossBF 0, lossCarrier 0, lossAIS 0, lossRAI 0", "bri"),
                            trunk_status(6, "normal", no_counts, "bri"),
                            trunk_status(7, "normal", no_counts, "bri")}));
    std::optional<std::string> again = link->wait_for("trunk 5, state normal, slips 0", answer_time);
    EXPECT_TRUE(again && again->find("type bri") != std::string::npos);

    EXPECT_EQ(link->finish(answer_time), 0);
    std::this_thread::sleep_for(milliseconds(300));
    gateway.board.clear_journal();
    std::this_thread::sleep_for(milliseconds(2200));
    EXPECT_EQ(requests(gateway.board, "/dev/hal", "spi-read"), Strings{});
}

TEST(BoardControl, AHalWithoutSpiSwitchesTheBriChipsOffForGood)
{
    Gateway::Options options;
    options.start = false;
    Gateway gateway(options);
    gateway.board.fail("/dev/hal", spi_write, ENODEV);
    gateway.start();
    EXPECT_TRUE(gateway.daemon->wait_for_errors("spi: hal without spi\n", answer_time));
    for (const char* name : {"first", "second"}) {
        auto link = controller(gateway, name);
        link->send("{ seq 1, pdu command : ping : NULL }");
        EXPECT_EQ(link->wait_for("seq 1", answer_time), success(1));
        std::this_thread::sleep_for(milliseconds(2200));
        EXPECT_EQ(holding(link->take_all(), "type bri"), Strings{});
        EXPECT_EQ(link->finish(answer_time), 0);
    }
    EXPECT_EQ(requests(gateway.board, "/dev/hal", "spi-"), Strings{"spi-write -> -1 ENODEV"});
}

}  // namespace
