// The daemon as a process: its command line, its start in the foreground and as a daemon, and
// the signals that make it dump its status, report its resources and stop.

#include "gateway.h"
#include "tpkt_client.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <utility>

namespace {

using namespace systemtest;

// The daemon run in an empty root, without a board.
Finished run(const std::vector<std::string>& arguments)
{
    testsupport::TempRoot root;
    return run_program(build_program("tovrasel"), arguments, root.path());
}

TEST(CommandLine, HelpAndAnythingItCannotTakeGetTheUsage)
{
    const char usage[] = "Usage:\n"
                         " tovrasel -Dh\n"
                         "  -D --daemon                      run as daemon\n"
                         "  -p --port                        use this port\n"
                         "     --disable-clock               disable clock control\n"
                         "     --version                     print version\n"
                         "  -h --help                        display this information\n"
                         "\n";
    // "-p" is listed in the usage text but only "--port" is taken, and only a port number.
    const std::vector<std::pair<std::vector<std::string>, int>> cases{
        {{"-h"}, 0},           {{"--help"}, 0},         {{"-p", "4000"}, 2},    {{"--port", "abc"}, 2},
        {{"--port", "0"}, 2},  {{"--port", "65536"}, 2}, {{"--port", "-5"}, 2}, {{"--port", "12x"}, 2},
        {{"--port", ""}, 2},   {{"--bogus"}, 2},         {{"--port"}, 2}};
    for (const auto& [arguments, status] : cases) {
        Finished finished = run(arguments);
        EXPECT_EQ(finished.exit_status, status) << arguments[0];
        EXPECT_EQ(finished.output, usage) << arguments[0];
    }
}

TEST(CommandLine, VersionIsPrintedBeforeAnythingIsBuilt)
{
    Finished finished = run({"--version", "--port", "4000"});
    EXPECT_EQ(finished.exit_status, 2);
    EXPECT_EQ(finished.output.rfind("server version: ", 0), 0u);
    // No hardware was touched: there is no board to complain about.
    EXPECT_EQ(finished.errors, "");
}

TEST(Startup, InDaemonModeItDetachesAndRunsUntilSigterm)
{
    Gateway::Options options = Gateway::quiet();
    options.start = false;
    Gateway gateway(options);
    std::filesystem::create_directories(gateway.root / "/var/run");
    // Whether the port can still be bound makes no difference here.
    Finished started = run_program(build_program("tovrasel"),
                                   {"-D", "--port", std::to_string(testsupport::unused_port())}, gateway.root.path());
    EXPECT_EQ(started.exit_status, 0);
    EXPECT_EQ(started.output, "");

    // The detached process writes its pid and runs its loop. It is no child of the test, so it is
    // killed however the test ends.
    pid_t pid = 0;
    std::unique_ptr<pid_t, void (*)(pid_t*)> guard(&pid, [](pid_t* daemon) {
        if (*daemon > 0)
            kill(*daemon, SIGKILL);
    });
    auto pid_file = [&] { return gateway.root.read_file("/var/run/server.pid"); };
    ASSERT_TRUE(eventually([&] { return (pid = std::atoi(pid_file().c_str())) > 0 && gateway.looping(); },
                           milliseconds(30000)));
    kill(pid, SIGTERM);
    ASSERT_TRUE(eventually([&] { return pid_file().empty() && gateway.watchdog().rfind("stopped ", 0) == 0; },
                           milliseconds(20000)));
    pid = 0;
}

TEST(ProcessControl, StartUpAnnouncesItselfWritesItsPidAndSigusr2RewritesTheStatusDumpOrReportsWhenItCannot)
{
    Gateway::Options options = Gateway::quiet();
    options.configuration = "[traces]\nsignalling.hdlc = sometimes\n";
    Gateway gateway(options);
    EXPECT_EQ(gateway.daemon->output(), "Starting server [" + daemon_version(gateway.root.path()) +
                                            "], port=" + std::to_string(gateway.port) + "\n");
    EXPECT_EQ(gateway.root.read_file("/var/run/server.pid"), std::to_string(gateway.daemon->pid()));
    EXPECT_NE(gateway.daemon->errors().find("traces: optional key \"signalling.hdlc\" has invalid "
                                            "value=\"sometimes\", line 2. Key will be ignored.\n"),
              std::string::npos);

    // SIGHUP without a controller: the report is built, once the T.38 program has not answered,
    // and dropped for want of a link; the second drop is only counted.
    auto logged = [&](const std::string& line) {
        std::string errors = gateway.daemon->errors();
        size_t count = 0;
        for (size_t at = 0; (at = errors.find(line, at)) != std::string::npos; at += line.size())
            ++count;
        return count;
    };
    const std::string ignored = "Control::Service::Send() ignore Send request in Connecting state.\n";
    gateway.daemon->signal(SIGHUP);
    EXPECT_TRUE(gateway.daemon->wait_for_errors(ignored, milliseconds(10000)));
    gateway.daemon->signal(SIGHUP);
    EXPECT_TRUE(eventually([&] { return logged("t38: can't detect T38 resources\n") == 2; }, milliseconds(10000)));
    EXPECT_EQ(logged("update hardware resources\n"), 2u);
    EXPECT_EQ(logged(ignored), 1u);

    gateway.root.write_file("/var/log/server-status", "stale line\n");
    gateway.daemon->signal(SIGUSR2);
    std::string dump;
    EXPECT_TRUE(eventually(
        [&] {
            dump = gateway.root.read_file("/var/log/server-status");
            return dump.find("AcceptorNet::OnSocketEvent") != std::string::npos;
        },
        milliseconds(10000)));
    EXPECT_EQ(dump.rfind("server status information.\nversion : " + daemon_version(gateway.root.path()) +
                             "\ncontroller sends ignored : 1\nslots : 0\npackets in use : 0\n", 0), 0u);
    EXPECT_EQ(dump.find("stale line"), std::string::npos);

    std::filesystem::remove(gateway.root / "/var/log/server-status");
    std::filesystem::create_directories(gateway.root / "/var/log/server-status");
    gateway.daemon->signal(SIGUSR2);
    EXPECT_TRUE(gateway.daemon->wait_for_errors("dump status error\n", milliseconds(10000)));
    EXPECT_TRUE(gateway.daemon->running());
}

TEST(ProcessControl, SigtermAndSigintStopCleanly)
{
    for (int stop_signal : {SIGTERM, SIGINT}) {
        Gateway gateway(Gateway::quiet());
        TpktClient client(gateway.port);
        client.send_raw(ping_frame);
        ASSERT_TRUE(client.receive_frame(milliseconds(10000)));
        auto start = std::chrono::steady_clock::now();
        int status = gateway.stop(stop_signal);
        // The controller's slots are destroyed on the way out, which blocks for a second.
        EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(1000));
        ASSERT_TRUE(WIFEXITED(status)) << stop_signal;
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_FALSE(std::filesystem::exists(gateway.root / "/var/run/server.pid"));
        EXPECT_TRUE(eventually([&] { return gateway.watchdog().rfind("stopped ", 0) == 0; }, milliseconds(10000)));
    }
}

}  // namespace
