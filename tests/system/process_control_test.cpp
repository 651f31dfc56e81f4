// The daemon's process signals: status dump, resource report without a controller, and stop.

#include "gateway.h"
#include "tpkt_client.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <thread>

namespace {

using namespace systemtest;

size_t count(const std::string& text, const std::string& part)
{
    size_t found = 0;
    for (size_t at = 0; (at = text.find(part, at)) != std::string::npos; at += part.size())
        ++found;
    return found;
}

TEST(ProcessControl, Sigusr2RewritesTheStatusDump)
{
    Gateway gateway;
    std::string dump = gateway.root / "/var/log/server-status";
    std::string stale;
    for (int i = 0; i < 5000; ++i)
        stale += "stale line\n";
    gateway.root.write_file("/var/log/server-status", stale);
    gateway.daemon->signal(SIGUSR2);
    std::string first;
    auto dumped = [&] {
        first = gateway.root.read_file("/var/log/server-status");
        return first.find("AcceptorNet") != std::string::npos;
    };
    eventually(dumped, milliseconds(10000));
    EXPECT_EQ(first.rfind("server status information.\nversion : " + daemon_version(gateway.root.path()) + "\n", 0), 0u);
    EXPECT_EQ(first.find("stale line"), std::string::npos);
    EXPECT_NE(first.find("AcceptorNet::OnSocketEvent"), std::string::npos);

    // However many dumps follow, the file holds one.
    std::filesystem::remove(dump);
    gateway.daemon->signal(SIGUSR2);
    gateway.daemon->signal(SIGUSR2);
    ASSERT_TRUE(eventually([&] { return std::filesystem::exists(dump); }, milliseconds(10000)));
    std::this_thread::sleep_for(milliseconds(200));
    EXPECT_EQ(count(gateway.root.read_file("/var/log/server-status"), "server status information."), 1u);
}

TEST(ProcessControl, StatusDumpThatCannotBeWrittenIsReported)
{
    Gateway gateway;
    std::filesystem::create_directories(gateway.root / "/var/log/server-status");
    gateway.daemon->signal(SIGUSR2);
    EXPECT_TRUE(gateway.daemon->wait_for_errors("dump status error\n", milliseconds(10000)));
    // SIGHUP without a controller: the report is built, and dropped for want of a link.
    gateway.daemon->signal(SIGHUP);
    EXPECT_TRUE(gateway.daemon->wait_for_errors("update hardware resources\n", milliseconds(10000)));
    EXPECT_TRUE(gateway.daemon->running());
}

TEST(ProcessControl, SigtermAndSigintStopCleanly)
{
    for (int stop_signal : {SIGTERM, SIGINT}) {
        Gateway gateway;
        {
            TpktClient client(gateway.port);
            client.send_raw({0x03, 0x00, 0x00, 0x08, 0x80, 0x01, 0x07, 0x18});
            ASSERT_TRUE(client.receive_frame(milliseconds(10000)));
            gateway.board.clear_journal();
            auto start = std::chrono::steady_clock::now();
            int status = gateway.stop(stop_signal);
            // Every slot is destroyed on the way out, which blocks for a second.
            EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(1000));
            ASSERT_TRUE(WIFEXITED(status)) << stop_signal;
            EXPECT_EQ(WEXITSTATUS(status), 0);
            EXPECT_TRUE(client.closed_by_peer(milliseconds(1000)));
        }
        EXPECT_FALSE(std::filesystem::exists(gateway.root / "/var/run/server.pid"));
        bool stopped = false;
        for (const testsupport::JournalEntry& entry : gateway.board.journal())
            stopped = stopped || (entry.device == "/dev/misc/gw-wd" && entry.request == "STOP");
        EXPECT_TRUE(stopped);
    }
}

}  // namespace
