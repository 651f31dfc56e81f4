#include "monitoring/monitoring_data_holder.h"

#include "server/trace_ctl.h"
#include "support/controller_pair.h"
#include "support/temp_root.h"
#include "../foundation/reactor/reactor_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

namespace {

namespace fs = std::filesystem;

class StatusFiles : public ::testing::Test {
protected:
    StatusFiles() { fs::create_directories(root / "/var"), holder = std::make_unique<MonitoringDataHolder>(); }

    // A display command's parameters written in value notation.
    static LGCP::DisplayParams params(const std::string& text)
    {
        LGCP::DisplayParams params;
        EXPECT_TRUE(params.setFromValueNotation(text)) << text;
        return params;
    }
    bool controller(const std::string& address, const char* status)
    {
        const auto info = params("controller : { host { iaddr \"" + address + "\", port 9 }, status " + status + " }");
        return holder->setControllerStatus(*info.get_controller());
    }
    void set(const std::string& section, const std::string& name, const char* value)
    {
        display("snmp-set : { commands { { uniq 1, id name : { section \"" + section + "\", name \"" + name +
                "\", index 1 }, value \"" + value + "\" } } }");
    }
    void display(const std::string& text) { holder->setDisplayStatus(params(text)); }
    std::string file(const std::string& name) const { return root.read_file("/var/monitoring/" + name); }

    testsupport::TempRoot root;
    std::unique_ptr<MonitoringDataHolder> holder;
};

TEST_F(StatusFiles, EachValueLandsInItsFileWithExactlyItsContent)
{
    const std::string tree = root / "/var/monitoring/controller/", own = holder->ownAddress().GetString();
    const std::string self = own.substr(0, own.find(':'));
    // A restart on another address left "self" behind: it follows the board's own address again.
    fs::create_directories(tree + self);
    fs::create_directory_symlink(tree + "192.0.2.1", tree + "self");
    const struct { std::function<void()> act; std::string name, content; } steps[] = {
        {[&] { holder->setDipValue(-7); }, "dip", "-7"},
        {[&] { holder->setPowerStatus(LGCP::POWERStatus(LGCP::POWERStatus::both)); }, "powerstatus", "3"},
        {[&] { holder->setPowerStatus(LGCP::POWERStatus(LGCP::POWERStatus::unknown)); }, "powerstatus", "0"},
        {[&] { holder->setConfigVersion(0xA, 0xFF); }, "config_version", "0000000a-00000000000000ff"},
        // A zero byte ends a line's text, not the line.
        {[&] { display("board : boardStatus : { position 2, version '763100FF'H, status ready, type fxs }"); },
         "board2", "3\nv1\n2\n"},
        {[&] { display("emPhone : phoneStatus : { id 0, panelSV '61'H, ctrlSV ''H, fpgaSV '63'H, status ready, "
                       "powerStatus main, mode sleep, hookStatus connected, baseStatus disconnected }"); },
         "emphone0", "a\n\nc\n2\n2\n2\n1\n2\n"},
        {[&] { display("termCounter : { owner router, cnt 12 }"); }, "term_cnts/router", "12"},
        {[&] { display("termCounter : { owner extBoard, ownerId 3, cnt -1 }"); }, "term_cnts/board3", "-1"},
        {[&] { EXPECT_FALSE(controller("10.9.8.7", "ok")); }, "controller/10.9.8.7/status", "1"},
        {[&] { EXPECT_TRUE(controller(self, "active")); }, "controller/" + self + "/status", "2"},
        {[&] { set("s", "n", "v1"), set("s", "n", "v2"); }, "s/1/n", "v2"},
    };
    for (const auto& step : steps) {
        step.act();
        EXPECT_EQ(file(step.name), step.content) << step.name;
    }
    EXPECT_FALSE(controller(self, "active"));
    EXPECT_EQ(fs::read_symlink(tree + "self"), tree + self);
    EXPECT_EQ(holder->snmpCommands().get_commands().size(), 1u);

    holder->ClearControllerFiles();
    EXPECT_TRUE(!fs::exists(root / "/var/monitoring/board2") && fs::exists(root / "/var/monitoring/emphone0") &&
                holder->boards().empty());
    // Leaving, the top level goes; only directories that hold something stay.
    holder.reset();
    for (const auto& entry : fs::directory_iterator(root / "/var/monitoring"))
        EXPECT_TRUE(entry.is_directory() && !fs::is_empty(entry.path())) << entry.path();
}

TEST_F(StatusFiles, AStartAlsoClearsTheTemporaryFilesOfWritersKilledMidWriteBelowTheTopLevel)
{
    holder.reset();
    root.write_file("/elsewhere/.tmp.41", "not ours");
    const std::string tree = root / "/var/monitoring/";
    for (const char* left : {"dip", ".tmp.40", "s/1/.tmp.4321", "term_cnts/.tmp.99", "controller/10.9.8.7/.tmp.55"})
        root.write_file(std::string("/var/monitoring/") + left, "partly");
    fs::create_symlink(tree + "controller/10.9.8.7", tree + "controller/.tmp.77");
    // Kept: the values, names that only look alike, and what a link leads to outside the tree.
    const std::vector<std::string> kept{"s/1/n", "s/1/.tmp.", "s/1/.tmp.12a", "term_cnts/router",
                                        "controller/10.9.8.7/status"};
    for (const std::string& name : kept)
        root.write_file("/var/monitoring/" + name, "value");
    fs::create_directory_symlink(root / "/elsewhere", tree + "s/outside");

    holder = std::make_unique<MonitoringDataHolder>();
    std::vector<std::string> left;
    for (auto entry = fs::recursive_directory_iterator(tree); entry != fs::recursive_directory_iterator(); ++entry)
        if (!entry->is_directory() || entry->is_symlink())
            left.push_back(entry->path().string().substr(tree.size()));
    std::sort(left.begin(), left.end());
    std::vector<std::string> expected = kept;
    expected.push_back("s/outside");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected);
    EXPECT_EQ(root.read_file("/elsewhere/.tmp.41"), "not ours");
}

TEST_F(StatusFiles, TextsThatAreNoSafeNameWriteNothingAndAreKeptAllTheSame)
{
    for (const auto& [section, name] : std::vector<std::pair<std::string, std::string>>{
             {"../x", "n"}, {"..", "n"}, {".", "n"}, {"", "n"}, {"s", "a/b"}, {"s", ".."},
             {"s", std::string(256, 'n')}})
        set(section, name, "v");
    EXPECT_EQ(holder->snmpCommands().get_commands().size(), 7u);
    for (const auto& entry : fs::recursive_directory_iterator(root.path()))
        EXPECT_TRUE(entry.is_directory()) << entry.path();
    EXPECT_FALSE(fs::exists(root / "/var/x"));
}

TEST_F(StatusFiles, AReaderNeverSeesAnEmptyOrPartlyWrittenFile)
{
    holder->setDipValue(1);
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    const auto torn_read = [&] { const std::string seen = file("dip"); return seen != "1" && seen != "1234567890"; };
    std::thread reader([&] { while (!done) torn += torn_read(); });
    for (int i = 0; i < 3000; ++i)
        holder->setDipValue(i % 2 ? 1 : 1234567890);
    done = true;
    reader.join();
    EXPECT_EQ(torn, 0);
    // Nothing left behind but the file and the directory made at start.
    EXPECT_EQ(std::distance(fs::directory_iterator(root / "/var/monitoring"), fs::directory_iterator()), 2);
}

TEST_F(StatusFiles, AnUnchangedValueWritesNothingAndEachKeyKeepsOneRecord)
{
    // Unchanged: no change reported, and the file (removed meanwhile) not written again.
    EXPECT_TRUE(holder->setConfigVersion(0xA, 0xFF));
    EXPECT_TRUE(holder->setTemperature("45"));
    fs::remove(root / "/var/monitoring/config_version");
    EXPECT_FALSE(holder->setConfigVersion(0xA, 0xFF));
    EXPECT_FALSE(holder->setTemperature("45"));
    EXPECT_FALSE(fs::exists(root / "/var/monitoring/config_version"));
    EXPECT_TRUE(holder->setConfigVersion(0xA, 0x100));
    EXPECT_EQ(file("config_version"), "0000000a-0000000000000100");

    // One record per board position and per phone, the newest; the channel forms write nothing.
    display("board : boardStatus : { position 2, version '31'H, status ready, type fxs }");
    display("board : boardStatus : { position 2, version '32'H, status ready, type fxs }");
    display("board : boardChannelStatus : { position 2, channel 1, status { callerID '31'H, calledID '32'H } }");
    display("emPhone : phoneStatus : { id 0, panelSV '61'H, ctrlSV ''H, fpgaSV '63'H, status ready, "
            "powerStatus main, mode sleep, hookStatus connected, baseStatus disconnected }");
    display("emPhone : phoneStatus : { id 0, panelSV '62'H, ctrlSV ''H, fpgaSV '63'H, status ready, "
            "powerStatus main, mode sleep, hookStatus connected, baseStatus disconnected }");
    display("emPhone : phoneChannelStatus : { phoneId 0, channel 1 }");
    ASSERT_EQ(holder->boards().size(), 1u);
    EXPECT_EQ(holder->boards().front().get_version().getValue(), std::vector<char>{'2'});
    ASSERT_EQ(holder->phones().size(), 1u);
    EXPECT_EQ(holder->phones().front().get_panelSV().getValue(), std::vector<char>{'b'});
    EXPECT_EQ(file("board2"), "3\n2\n2\n");
    // Term counters: one per owner, and per owner id of the external boards; each owner its file.
    for (const char* counter : {"{ owner controller, cnt 1 }", "{ owner controller, cnt 2 }", "{ owner server, cnt 3 }",
                                "{ owner extBoard, ownerId 4, cnt 5 }", "{ owner extBoard, ownerId 6, cnt 7 }",
                                "{ owner extBoard, ownerId 4, cnt 8 }", "{ owner extBoard, cnt 9 }"})
        display(std::string("termCounter : ") + counter);
    std::vector<std::string> counters;
    for (const LGCP::TermCounter& counter : holder->termCounters())
        counters.push_back(testsupport::collapse(counter.asValueNotation()));
    EXPECT_EQ(counters, (std::vector<std::string>{"{ owner controller, cnt 2 }", "{ owner server, cnt 3 }",
                                                  "{ owner extBoard, ownerId 4, cnt 8 }",
                                                  "{ owner extBoard, ownerId 6, cnt 7 }", "{ owner extBoard, cnt 9 }"}));
    for (const auto& [name, content] : std::vector<std::pair<const char*, const char*>>{
             {"term_cnts/controller", "2"}, {"term_cnts/server", "3"}, {"term_cnts/board4", "8"}, {"term_cnts/board6", "7"}})
        EXPECT_EQ(file(name), content) << name;
    // Set commands named by object identifier: one per identifier.
    display("snmp-set : { commands { { uniq 1, id oid : \"1.3.6.1.2\", value \"a\" }, "
            "{ uniq 2, id oid : \"1.3.6.1.3\", value \"b\" }, { uniq 3, id oid : \"1.3.6.1.2\", value \"c\" } } }");
    EXPECT_EQ(testsupport::collapse(holder->snmpCommands().asValueNotation()),
              "{ commands { { uniq 1, id oid : \"1.3.6.1.2\", value \"c\" }, { uniq 2, id oid : \"1.3.6.1.3\", value \"b\" } } }");
    // A controller's status by the display command.
    display("controller : { host { iaddr \"10.9.8.7\", port 9 }, status ok }");
    EXPECT_EQ(file("controller/10.9.8.7/status"), "1");
}

TEST_F(StatusFiles, TheTraceSwitchShowsControllerChangesTrapReceiversAndRemovedFiles)
{
    traces.monitoring = true;
    reactortest::CaptureStream debug(std::clog);
    controller("10.9.8.7", "ok");
    display("snmpTrapReceivers : { \"10.1.1.1\", \"10.1.1.2\" }");
    display("board : boardStatus : { position 2, version '31'H, status ready, type fxs }");
    holder->ClearControllerFiles();
    traces.monitoring = false;
    EXPECT_EQ(debug.text(), "New controller 10.9.8.7 status - ok\nTrap receivers:{\n  \"10.1.1.1\",\n  \"10.1.1.2\"\n}\n"
                            "remove monitoring info: board2\n");
    EXPECT_EQ(holder->trapReceivers(), (std::list<std::string>{"10.1.1.1", "10.1.1.2"}));
}

TEST_F(StatusFiles, ATreeThatCannotTakeAControllersFilesLogsWhatFailed)
{
    reactortest::CaptureStream debug(std::clog);
    const std::string own = holder->ownAddress().GetString(), self = own.substr(0, own.find(':'));
    // A file where the controllers' directory should be.
    root.write_file("/var/monitoring/controller", "x");
    EXPECT_FALSE(controller("10.9.8.7", "ok"));
    EXPECT_NE(debug.text().find("FAIL create monitoring catalog <" + root / "/var/monitoring/controller/" +
                                "> with code=17\n"),
              std::string::npos)
        << debug.text();
    EXPECT_NE(debug.text().find("FAIL create temporary file <" + root / "/var/monitoring/controller/10.9.8.7/status" +
                                "> with code="),
              std::string::npos)
        << debug.text();
    // A directory with something in it where "self" should be.
    fs::remove(root / "/var/monitoring/controller");
    fs::create_directories(root / "/var/monitoring/controller/self/x");
    EXPECT_TRUE(controller(self, "active"));
    EXPECT_NE(debug.text().find("FAIL create symlink to monitoring catalog <" + root / "/var/monitoring/controller/" +
                                self + "> with code="),
              std::string::npos)
        << debug.text();
    EXPECT_EQ(file("controller/" + self + "/status"), "2");
}

}  // namespace
