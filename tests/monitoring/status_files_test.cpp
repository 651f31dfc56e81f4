#include "monitoring/monitoring_data_holder.h"

#include "support/temp_root.h"

#include <gtest/gtest.h>

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

}  // namespace
