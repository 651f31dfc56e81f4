#include "gateway.h"
#include "tpkt_client.h"

#include "foundation/os/device.h"
#include "support/journal_requests.h"
#include "support/switch_requests.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <thread>

namespace {

using namespace systemtest;
using testsupport::JournalEntry;

TEST(Startup, AnnouncesItselfWritesItsPidAndTakesTheBoard)
{
    Gateway::Options options;
    options.start = false;
    Gateway gateway(options);
    std::string version = daemon_version(gateway.root.path());
    {
        // Outputs that an earlier run left driven; the daemon must release them.
        Fd hal = Device::open("/dev/hal", O_RDWR);
        ASSERT_TRUE(hal);
        ASSERT_EQ(testsupport::switch_connect_output(hal, 10239, 3), 0);
        ASSERT_EQ(testsupport::switch_write_byte(hal, 9000, 0x11), 0);
        ASSERT_EQ(testsupport::switch_connect_output(hal, 8192, 4), 0);
        hal.close();
    }
    gateway.board.clear_journal();
    gateway.start();
    std::this_thread::sleep_for(milliseconds(3500));

    EXPECT_EQ(gateway.daemon->output(),
              "Starting server [" + version + "], port=" + std::to_string(gateway.port) + "\n");
    EXPECT_EQ(gateway.root.read_file("/var/run/server.pid"), std::to_string(gateway.daemon->pid()));

    EXPECT_EQ(testsupport::switch_requests(gateway.board),
              (std::vector<std::string>{"disable output=8192 -> 0", "disable output=9000 -> 0",
                                        "disable output=10239 -> 0"}));
    std::vector<std::string> watchdog;
    std::vector<unsigned long> pings;
    for (const JournalEntry& entry : gateway.board.journal()) {
        if (entry.device == "/dev/misc/gw-wd" && entry.request != "open") {
            watchdog.push_back(entry.request);
            if (entry.request == "PING")
                pings.push_back(entry.time_ms);
        }
    }
    ASSERT_GE(watchdog.size(), 3u);
    EXPECT_EQ(watchdog[0], "START");
    ASSERT_GE(pings.size(), 3u);
    EXPECT_LE(pings.size(), 5u);
    for (size_t i = 1; i < pings.size(); ++i) {
        EXPECT_GE(pings[i] - pings[i - 1], 990u);
        EXPECT_LE(pings[i] - pings[i - 1], 2500u);
    }
    // Every output was disabled once at start and keeps being refreshed.
    EXPECT_EQ(gateway.board.state("/dev/hal", "9000").at(0).rfind("output=9000 disabled repeats=", 0), 0u);
    EXPECT_NE(gateway.board.state("/dev/hal", "9001").at(0), "output=9001 disabled repeats=0");
}

TEST(Startup, GoesOnWithoutAConfigurationFileOrWithComplaintsAboutIt)
{
    Gateway::Options options;
    options.configuration = nullptr;
    {
        Gateway gateway(options);
        EXPECT_EQ(gateway.daemon->errors().find("traces: "), std::string::npos);
    }
    options.configuration = "[traces]\nsignalling.hdlc = sometimes\n";
    Gateway gateway(options);
    EXPECT_NE(gateway.daemon->errors().find(
                  "traces: optional key \"signalling.hdlc\" has invalid value=\"sometimes\", line 2. Key will be "
                  "ignored.\n"),
              std::string::npos);
}

// A process this test did not fork, ended with SIGTERM (and SIGKILL after 10 s) when the guard goes.
class DetachedProcess {
public:
    explicit DetachedProcess(pid_t pid) : pid_(pid) {}
    ~DetachedProcess()
    {
        if (pid_ > 0 && kill(pid_, SIGTERM) == 0 && !gone(milliseconds(10000)))
            kill(pid_, SIGKILL);
    }
    bool gone(milliseconds timeout) { return eventually([this] { return kill(pid_, 0) != 0; }, timeout); }

private:
    pid_t pid_;
};

TEST(Startup, InDaemonModeItDetachesAndServesTheGivenPort)
{
    // Quiet, so that the first frame on the link is the answer.
    Gateway::Options options = Gateway::quiet();
    options.start = false;
    Gateway gateway(options);
    Finished started = run_program(build_program("tovrasel"), {"-D", "--port", std::to_string(gateway.port)},
                                   gateway.root.path());
    EXPECT_EQ(started.exit_status, 0);
    EXPECT_EQ(started.output, "");

    eventually([&] { return listening(gateway.port); }, milliseconds(30000));
    std::string pid = gateway.root.read_file("/var/run/server.pid");
    ASSERT_FALSE(pid.empty());
    DetachedProcess daemon(std::stoi(pid));

    TpktClient client(gateway.port);
    client.send_raw({0x03, 0x00, 0x00, 0x08, 0x80, 0x01, 0x07, 0x18});
    std::optional<Bytes> answer = client.receive_frame(milliseconds(10000));
    ASSERT_TRUE(answer);
    EXPECT_EQ(hex(*answer), "03 00 00 08 80 01 07 40");

    kill(std::stoi(pid), SIGTERM);
    EXPECT_TRUE(daemon.gone(milliseconds(20000)));
    EXPECT_FALSE(std::filesystem::exists(gateway.root / "/var/run/server.pid"));
}

}  // namespace
