// The monitoring service in the running gateway: the power signal and files the controller and
// local tools see, the framer LEDs of the display command, and what the SNMP agents receive.

#include "gateway.h"

#include "support/fake_snmp_agent.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using namespace systemtest;
using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

const milliseconds answer_time(10000);

// The items of the snmp-set messages among the texts, as "object[index]=value", in order; the
// uniq numbers left out. The rows of the interfaces' table depend on the host and are left out
// too.
Strings set_items(const Strings& texts)
{
    static const std::regex item(
        "\\{ uniq [0-9]+, id name : \\{ section \"([^\"]*)\", name \"([^\"]*)\", index (-?[0-9]+) \\}, "
        "value \"([^\"]*)\" \\}");
    Strings items;
    for (const std::string& text : texts) {
        if (text.find("snmp-set") == std::string::npos)
            continue;
        for (std::sregex_iterator found(text.begin(), text.end(), item), end; found != end; ++found)
            if ((*found)[1] != "ifTable")
                items.push_back((*found)[2].str() + "[" + (*found)[3].str() + "]=" + (*found)[4].str());
    }
    return items;
}

Strings set_messages(const Strings& texts)
{
    Strings sets;
    for (const std::string& text : texts)
        if (text.find("snmp-set") != std::string::npos)
            sets.push_back(text);
    return sets;
}

// The full push an agent gets when it connects or a trunk state changed, told from single items
// by the software build, which only the full push carries.
bool full_push(const std::string& text) { return text.find("\"softwareBuild\"") != std::string::npos; }

class Monitoring : public ::testing::Test {
protected:
    // A quiet board sends no trunk status reports.
    explicit Monitoring(bool quiet_board = true)
    {
        Gateway::Options options = quiet_board ? Gateway::quiet() : Gateway::Options();
        options.start = false;
        gateway = std::make_unique<Gateway>(options);
    }
    void start(const std::string& agents = "")
    {
        gateway->root.write_file("/usr/local/etc/server.conf", agents);
        gateway->start();
    }
    std::string file(const std::string& name) { return gateway->root.read_file("/var/monitoring/" + name); }
    // The four version files, the first of them with its text as given.
    void versions(const std::string& build)
    {
        gateway->root.write_file("/var/version", build);
        gateway->root.write_file("/var/u-boot-version", "u1");
        gateway->root.write_file("/var/fpga-version", "f2");
        gateway->root.write_file("/var/board-version", "r3");
    }
    bool file_reads(const std::string& name, const std::string& content)
    {
        return eventually([&] { return file(name) == content; }, answer_time);
    }

    std::unique_ptr<Gateway> gateway;
};

TEST_F(Monitoring, TheControllerHearsThePowerAtConnectAndOnEveryChangeWhichThePowerFileFollows)
{
    gateway->board.set("/dev/hal", "power 1");
    start();
    ASSERT_TRUE(file_reads("powerstatus", "1"));
    auto controller = gateway->controller();
    controller->send("{ seq 1, pdu command : ping : NULL }");
    EXPECT_EQ(controller->next(answer_time), "{ pdu signal : power : standby }");
    EXPECT_EQ(controller->next(answer_time), "{ seq 1, pdu response : success : NULL }");

    // Raw power bytes as the driver gives them: 0 is both supplies, above 3 nothing known.
    for (const auto& [raw, status, digit] : std::vector<std::tuple<const char*, const char*, const char*>>{
             {"0", "both", "3"}, {"2", "main", "2"}, {"7", "unknown", "0"}, {"3", "both", "3"}}) {
        gateway->board.set("/dev/hal", std::string("power ") + raw);
        EXPECT_EQ(controller->next(answer_time), std::string("{ pdu signal : power : ") + status + " }") << raw;
        EXPECT_TRUE(file_reads("powerstatus", digit)) << raw;
    }
}

TEST_F(Monitoring, TheDisplayCommandDrivesTheFramerLeds)
{
    start();
    auto controller = gateway->controller();
    const struct {
        const char* info;
        int leds;
    } steps[] = {
        // A line that comes up shows its link down until the link reports.
        {"e1 2, info line : TRUE", 0x30}, {"e1 2, info link : TRUE", 0x20}, {"e1 0, info link : FALSE", 0x21},
        {"e1 0, info line : TRUE", 0x23}, {"e1 2, info line : FALSE", 0x03}, {"e1 3, info link : TRUE", 0x03},
    };
    int seq = 0;
    for (const auto& step : steps) {
        controller->send("{ seq " + std::to_string(++seq) + ", pdu command : display : framer : { " + step.info + " } }");
        EXPECT_EQ(controller->next(answer_time), "{ seq " + std::to_string(seq) + ", pdu response : success : NULL }");
        EXPECT_EQ(gateway->board.state("/dev/hal", "leds"), Strings{std::to_string(step.leds)}) << step.info;
    }
}

TEST_F(Monitoring, AnAgentThatComesUpGetsTheWholeStateAndThenEachChange)
{
    // A board with every file the service reads, and a process named "controller" beside it.
    auto& root = gateway->root;
    root.write_file("/proc/voice/version", "voice 2.1.0 build7 extra\n");
    root.write_file("/proc/temperature", "45 C\n");
    versions("b7");
    root.write_file("/proc/driver/hdlc/peb22554/0", "Current state           : Synchronized\n"
                                                    "Loss of Signal          : no\n"
                                                    "Loss of Frame Alignment : no\n"
                                                    "Receive Slip Negative   : 2\n");
    root.write_file("/usr/local/etc/config.2save.tar.bz2", "");
    root.write_file("/usr/local/etc/config.0000000a-00000000000000ff.tar.bz2", "");
    fs::copy_file("/bin/sleep", root.prepare("/bin/controller"));
    ProgramProcess stand_in(root / "/bin/controller", {"600"}, root.path(), "stand-in");
    gateway->board.set("/dev/hal", "dip 5");
    // Refused until they listen: they come up once the polls have found everything.
    testsupport::FakeSnmpAgent vask(false), qx(false);
    start("[snmpagent]\nhost=" + vask.host() + "\nname=vask\n[snmpagent]\nhost=" + qx.host() + "\nname=lemzgw.qx\n");

    // A process named "controller" runs and no controller is connected.
    ASSERT_TRUE(file_reads("controller/self/status", "4"));
    EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(gateway->daemon->pid()) + "/cwd"),
              fs::canonical(root / "/usr/local/etc"));
    EXPECT_EQ(file("config_version"), "0000000a-00000000000000ff");
    ASSERT_TRUE(file_reads("dip", "5"));

    listen(vask.listener, 1), listen(qx.listener, 1);
    ASSERT_TRUE(eventually([&] { return !set_messages(vask.messages()).empty() && !set_messages(qx.messages()).empty(); },
                           milliseconds(30000)));
    const std::string software = daemon_version(root.path());
    const Strings common{"driverBuild[0]=2.1.0 [build7 extra]",
                         "softwareBuild[0]=" + software,
                         "powerStatus[0]=0",
                         "controllerStatus[0]=4",
                         "gatewayDip[0]=5",
                         "gatewayConfigVersion[0]=10"};
    Strings to_vask = common, to_qx = common;
    for (const char* item : {"temperature[0]=45", "e1Connected[1]=1", "e1StatusDsc[1]=Synchronized",
                             "e1SignalLoss[1]=0", "e1FrameAlignLoss[1]=0", "e1NegSlipCount[1]=2",
                             "e1PosSlipCount[1]=0"})
        to_vask.push_back(item);
    for (const char* item : {"sgBuildVersion[0]=b7", "sgFPGAVersion[0]=f2", "sgBootVersion[0]=u1",
                             "sgBoardVersion[0]=r3"})
        to_qx.push_back(item);
    EXPECT_EQ(set_items({set_messages(vask.texts).front()}), to_vask);
    EXPECT_EQ(set_items({set_messages(qx.texts).front()}), to_qx);

    // A change of the DIP switch: its file, and one item to each agent.
    gateway->board.set("/dev/hal", "dip 9");
    ASSERT_TRUE(file_reads("dip", "9"));
    ASSERT_TRUE(eventually([&] { return set_messages(vask.messages()).size() == 2 && set_messages(qx.messages()).size() == 2; },
                           answer_time));
    EXPECT_EQ(set_items({set_messages(vask.texts).back()}), Strings{"gatewayDip[0]=9"});
    EXPECT_EQ(set_items({set_messages(qx.texts).back()}), Strings{"gatewayDip[0]=9"});

    // A controller's trap receivers and set commands reach both agents at once, and again before
    // the whole state when an agent comes back.
    auto controller = gateway->controller();
    controller->send("{ seq 1, pdu command : display : snmpTrapReceivers : { \"10.1.1.1\" } }");
    controller->send("{ seq 2, pdu command : display : snmp-set : { commands { { uniq 7, id name : { section \"s\", "
                     "name \"n\", index 1 }, value \"v\" } } } }");
    EXPECT_EQ(controller->next(answer_time), "{ seq 1, pdu response : success : NULL }");
    EXPECT_EQ(controller->next(answer_time), "{ seq 2, pdu response : success : NULL }");
    EXPECT_EQ(file("s/1/n"), "v");
    const std::string trapsinks = "{ pdu command : snmp-trapsink-set : { trapsinks { { host \"10.1.1.1\" } } } }";
    ASSERT_TRUE(eventually([&] { return set_messages(qx.messages()).size() == 3; }, answer_time));
    EXPECT_NE(std::find(qx.texts.begin(), qx.texts.end(), trapsinks), qx.texts.end());
    EXPECT_EQ(set_items({set_messages(qx.texts).back()}), Strings{"n[1]=v"});
}

TEST_F(Monitoring, WithoutTheBoardDeviceAndConfigurationTheirItemsGoOutAsAllOnes)
{
    gateway->board.set("/dev/hal", "dip none");
    testsupport::FakeSnmpAgent vask;
    start("[snmpagent]\nhost=" + vask.host() + "\nname=vask\n");
    ASSERT_TRUE(eventually([&] { return !set_messages(vask.messages()).empty(); }, answer_time));
    const Strings items = set_items({set_messages(vask.texts).front()});
    for (const char* item : {"gatewayDip[0]=4294967295", "gatewayConfigVersion[0]=4294967295"})
        EXPECT_NE(std::find(items.begin(), items.end(), item), items.end()) << item;
}

TEST_F(Monitoring, WithTheTraceSwitchOnEachReadingIsLoggedAndOnlyWellFormedConfigurationNamesCount)
{
    auto& root = gateway->root;
    versions("b7\n");
    root.write_file("/proc/temperature", " 45 C\n");
    // Framer texts that cannot be read: a directory, and a socket, which does not open.
    const std::string framers = "/proc/driver/hdlc/peb22554/";
    fs::create_directories(root / (framers + "0"));
    const int unopenable = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{AF_UNIX, {}};
    const std::string socket_path = root / (framers + "1");
    socket_path.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(bind(unopenable, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(unopenable);
    // Names that give no configuration version: the backup, one too short, one without hex digits,
    // and a directory.
    for (const char* name : {"config.2save.tar.bz2", "config.short", "config.zzzzzzzz-0000000000000001"})
        root.write_file(std::string("/usr/local/etc/") + name, "");
    fs::create_directories(root / "/usr/local/etc/config.0000000b-0000000000000001");
    root.write_file("/usr/local/etc/config.0000000a-00000000000000ff.tar.bz2", "");
    gateway->board.set("/dev/hal", "dip 5");
    gateway->board.set("/dev/hal", "power 2");
    start("[traces]\nmonitoring.internal = true\n");

    ASSERT_TRUE(file_reads("config_version", "0000000a-00000000000000ff"));
    for (const std::string& line : {std::string("BuildVersion - b7\n\n"), std::string("BootVersion - u1\n"),
                                    std::string("FPGAVersion - f2\n"), std::string("BoardVersion - r3\n"),
                                    std::string("Temperature -  45 C\n\n"), std::string("New dip - 5\n"),
                                    std::string("New power status - main\n"),
                                    "Error read file: \"" + root / (framers + "0") + "\" errno=\"Is a directory\"\n",
                                    "Error open file: \"" + socket_path + "\" errno=\"No such device or address\"\n"})
        EXPECT_TRUE(gateway->daemon->wait_for_errors(line, answer_time)) << line;
    EXPECT_EQ(file("dip"), "5");
    EXPECT_EQ(file("powerstatus"), "2");
}

TEST_F(Monitoring, DisplayedStatusesReachTheAgentsAtOnceAndAgainWithTheWholeStateOfALaterAgent)
{
    testsupport::FakeSnmpAgent first, later(false);
    start("[snmpagent]\nhost=" + first.host() + "\nname=vask\n[snmpagent]\nhost=" + later.host() + "\nname=vask\n");
    ASSERT_TRUE(eventually([&] { return !set_messages(first.messages()).empty(); }, answer_time));
    auto controller = gateway->controller();
    const char* displays[] = {
        "board : boardStatus : { position 2, version '76 31'H, status ready, type fxs }",
        "board : boardChannelStatus : { position 2, channel 1, status { callerID '31'H, calledID '32'H } }",
        "emPhone : phoneStatus : { id 0, panelSV '61'H, ctrlSV '62'H, fpgaSV '63'H, status ready, powerStatus main, "
        "mode sleep, hookStatus connected, baseStatus disconnected }",
        "emPhone : phoneChannelStatus : { phoneId 0, channel 1 }",
        "termCounter : { owner router, cnt 12 }",
        "termCounter : { owner controller, cnt 13 }",
        "termCounter : { owner server, cnt 14 }",
        "termCounter : { owner extBoard, ownerId 3, cnt 15 }",
        "controller : { host { iaddr \"10.9.8.7\", port 9 }, status ok }"};
    int seq = 0;
    for (const char* display : displays) {
        controller->send("{ seq " + std::to_string(++seq) + ", pdu command : display : " + display + " }");
        EXPECT_EQ(controller->next(answer_time), "{ seq " + std::to_string(seq) + ", pdu response : success : NULL }");
    }
    const Strings board{"extBoardStatus[2]=3", "extBoardSoftVer[2]=v1", "extBoardType[2]=2"};
    const Strings phone{"emPhonePanelSoftVer[1]=a", "emPhoneCtrlSoftVer[1]=b", "emPhoneFpgaSoftVer[1]=c",
                        "emPhoneStatus[1]=2", "emPhonePowerStatus[1]=2", "emPhoneMode[1]=2", "emPhoneHookStatus[1]=1",
                        "emPhoneBaseStatus[1]=2"};
    const Strings counters{"routerTermCnt[0]=12", "controllerTermCnt[0]=13", "serverTermCnt[0]=14", "extBoardTermCnt[3]=15"};
    // At once, to the agent that is up: each status as it comes, the counters all again on each.
    Strings expected = board;
    expected.insert(expected.end(), phone.begin(), phone.end());
    for (size_t shown = 1; shown <= counters.size(); ++shown)
        expected.insert(expected.end(), counters.begin(), counters.begin() + long(shown));
    // The controller status comes also with each change the controller check finds: only the one
    // the display sends, after the others, is looked at.
    Strings got;
    bool status_last = false;
    ASSERT_TRUE(eventually([&] {
        const Strings sets = set_messages(first.messages());
        got.clear();
        for (const std::string& item : set_items(Strings(sets.begin() + 1, sets.end()))) {
            status_last = item.rfind("controllerStatus[0]=", 0) == 0;
            if (!status_last)
                got.push_back(item);
        }
        return got.size() >= expected.size() && status_last;
    }, answer_time)) << testing::PrintToString(got);
    EXPECT_EQ(got, expected);

    // The agent that comes up later gets them with the whole state: the phone twice.
    listen(later.listener, 1);
    ASSERT_TRUE(eventually([&] { return !set_messages(later.messages()).empty(); }, milliseconds(30000)));
    const Strings whole = set_items({set_messages(later.texts).front()});
    for (const Strings* items : {&board, &phone, &counters})
        for (const std::string& item : *items)
            EXPECT_EQ(std::count(whole.begin(), whole.end(), item), items == &phone ? 2 : 1) << item;
}

TEST_F(Monitoring, AgentsThatStopReadingNeverStallTheDaemonAndAreDroppedAndConnectedAgain)
{
    // Two agents that read nothing more once they have had the whole state.
    testsupport::FakeSnmpAgent vask, qx;
    start("[snmpagent]\nhost=" + vask.host() + "\nname=vask\n[snmpagent]\nhost=" + qx.host() + "\nname=lemzgw.qx\n");
    ASSERT_TRUE(eventually([&] { return !set_messages(vask.messages()).empty() && !set_messages(qx.messages()).empty(); },
                           answer_time));
    const std::string vask_overflow = "snmpagent.vask " + vask.host() + ": send queue overflow, ";
    const std::string qx_overflow = "snmpagent.lemzgw.qx " + qx.host() + ": send queue overflow, ";
    auto lines = [&](const std::string& start) {
        std::istringstream errors(gateway->daemon->errors());
        int count = 0;
        for (std::string line; std::getline(errors, line);)
            count += line.rfind(start, 0) == 0;
        return count;
    };

    // Set commands go to every agent at once: the controller's go on until both agents are dropped,
    // each answered without waiting for them. A write that waited for an agent would hold the
    // reactor for its whole budget of 1000 ms and then say "write timeout".
    auto controller = gateway->controller();
    // Four values that each stay below the 16K a PER length takes unfragmented: 60000 bytes a message.
    std::string commands;
    for (const char* name : {"a", "b", "c", "d"})
        commands += std::string(commands.empty() ? "" : ", ") + "{ uniq 1, id name : { section \"s\", name \"" + name +
                    "\", index 1 }, value \"" + std::string(15000, 'v') + "\" }";
    for (int seq = 1; (lines(vask_overflow) == 0 || lines(qx_overflow) == 0) && seq <= 1000; ++seq) {
        controller->send("{ seq " + std::to_string(seq) + ", pdu command : display : snmp-set : { commands { " +
                         commands + " } } }");
        ASSERT_EQ(controller->next(answer_time), "{ seq " + std::to_string(seq) + ", pdu response : success : NULL }");
    }
    EXPECT_EQ(lines(vask_overflow), 1);
    EXPECT_EQ(lines(qx_overflow), 1);
    EXPECT_EQ(gateway->daemon->errors().find("write timeout"), std::string::npos);

    // Each is connected again as after any loss, and has the whole state again.
    for (testsupport::FakeSnmpAgent* agent : {&vask, &qx}) {
        agent->drop_connection();
        const size_t before = agent->texts.size();
        EXPECT_TRUE(eventually([&] {
            const Strings& texts = agent->messages();
            return std::find_if(texts.begin() + long(before), texts.end(), full_push) != texts.end();
        }, milliseconds(30000))) << agent->host();
    }
    EXPECT_EQ(lines(vask_overflow), 1);
}

// The board with its trunk status reports, sent each second while a controller is connected:
// one for each of the four E1 trunks and one for each of the eight BRI lines.
class MonitoringOfAReportingBoard : public Monitoring {
protected:
    MonitoringOfAReportingBoard() : Monitoring(false) {}
};

TEST_F(MonitoringOfAReportingBoard, OnlyE1ReportsDriveTheFramersAndAStateThatHoldsIsPushedOnce)
{
    // Framers 1 and 2, whose driver texts leave their state to the trunk reports.
    for (const char* file : {"0", "1"})
        gateway->root.write_file(std::string("/proc/driver/hdlc/peb22554/") + file, "Loss of Signal          : yes\n");
    // E1 trunk 0 without carrier beside BRI line 0 up; E1 trunk 1 in service beside BRI line 1
    // without carrier (its line status register left 0).
    gateway->board.set("/dev/maintenance", "trunk 0 state=2 lossCarrier=1");
    gateway->board.set("/dev/hal", "spi 0 51 0xC5");
    testsupport::FakeSnmpAgent vask;
    start("[snmpagent]\nhost=" + vask.host() + "\nname=vask\n");
    ASSERT_TRUE(eventually([&] { return !set_messages(vask.messages()).empty(); }, answer_time));
    const size_t before = vask.texts.size();
    auto controller = gateway->controller();

    // The framers' new states make one full push; as they hold, pings keep the agent alive.
    size_t push = 0;
    ASSERT_TRUE(eventually([&] {
        const Strings& texts = vask.messages();
        push = size_t(std::find_if(texts.begin() + long(before), texts.end(), full_push) - texts.begin());
        return push < texts.size();
    }, answer_time));
    const std::string ping = "{ pdu command : ping : NULL }";
    ASSERT_TRUE(eventually([&] {
        const Strings& texts = vask.messages();
        return std::find(texts.begin() + long(push), texts.end(), ping) != texts.end();
    }, milliseconds(30000))) << std::count_if(vask.texts.begin() + long(push), vask.texts.end(), full_push)
                               << " full pushes and no ping";
    EXPECT_EQ(std::count_if(vask.texts.begin() + long(push), vask.texts.end(), full_push), 1);
    Strings framers;
    for (const std::string& item : set_items({vask.texts[push]}))
        if (item.rfind("e1Connected", 0) == 0 || item.rfind("e1StatusDsc", 0) == 0)
            framers.push_back(item);
    EXPECT_EQ(framers, (Strings{"e1Connected[1]=0", "e1StatusDsc[1]=No Carrier", "e1Connected[2]=1",
                                "e1StatusDsc[2]=Synchronized"}));
}

}  // namespace
