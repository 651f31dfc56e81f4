#include "foundation/log/daemon.h"
#include "foundation/log/log_file_stream_buf.h"
#include "foundation/log/managed_syslog_stream_buf.h"
#include "foundation/log/syslog_manager.h"
#include "foundation/log/version.h"
#include "foundation/reactor/clock.h"
#include "support/temp_root.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>

#include <poll.h>
#include <sys/time.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <syslog.h>
#include <unistd.h>

namespace {

using testing::ElementsAre;
using testing::MatchesRegex;
using Lines = std::vector<std::string>;

std::string ident() { return std::string("tvr-") + Version::current.text; }

// A system-log line "<priority>Mmm dd hh:mm:ss ident: text".
testing::Matcher<std::string> line(int priority, const std::string& text)
{
    return MatchesRegex("<" + std::to_string(priority) + ">[A-Z][a-z]{2} [ 1-3][0-9] [0-9:]{8} " + ident() + ": " + text);
}

// Stands in for the system log daemon: a datagram socket bound at "<root>/dev/log".
class LogSocket {
public:
    explicit LogSocket(const testsupport::TempRoot& root) : path_(root.prepare("/dev/log"))
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path_.copy(address.sun_path, sizeof address.sun_path - 1);
        EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << path_;
    }
    ~LogSocket()
    {
        close(fd_);
        unlink(path_.c_str());
    }

    // The NUL-terminated messages of the next datagram (none when it does not come within 10 s).
    Lines messages()
    {
        pollfd ready{fd_, POLLIN, 0};
        std::string data(65536, '\0');
        const ssize_t n = poll(&ready, 1, 10000) == 1 ? recv(fd_, &data[0], data.size(), 0) : 0;
        data.resize(n > 0 ? size_t(n) : 0);
        Lines out;
        size_t start = 0;
        for (size_t end; (end = data.find('\0', start)) != std::string::npos; start = end + 1)
            out.push_back(data.substr(start, end - start));
        if (start < data.size())
            out.push_back(data.substr(start) + "<no NUL>");
        return out;
    }

private:
    int fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    std::string path_;
};

class SysLog : public ::testing::Test {
protected:
    void SetUp() override { syslogManager.openlog(ident().c_str(), LOG_NDELAY, 0); }
    void TearDown() override { syslogManager.closelog(); }

    testsupport::TempRoot root_;
    std::unique_ptr<LogSocket> socket_ = std::make_unique<LogSocket>(root_);
};

TEST_F(SysLog, OneFlushIsOneDatagramStreamsCarryTheirPriorityAndLongLinesAreCut)
{
    ManagedSysLogStreamBuf error(LOG_DAEMON, LOG_ERR), notice(LOG_DAEMON, LOG_NOTICE), debug(LOG_DAEMON, LOG_DEBUG);
    std::ostream err(&error), out(&notice), dbg(&debug);
    err << "a\nb\nc\n" << std::flush;
    EXPECT_THAT(socket_->messages(), ElementsAre(line(27, "a"), line(27, "b"), line(27, "c")));
    // The text is never taken as a format.
    out << "100%s %d%n" << std::endl;
    EXPECT_THAT(socket_->messages(), ElementsAre(line(29, "100%s %d%n")));
    dbg << "partial " << std::flush << "line" << std::endl;
    EXPECT_THAT(socket_->messages(), ElementsAre(line(31, "partial line")));
    // Text after the last newline of a flush is a line of its own.
    out << "head\ntail" << std::flush;
    EXPECT_THAT(socket_->messages(), ElementsAre(line(29, "head"), line(29, "tail")));

    // Text that fills the buffer goes out as one line, cut at 1023 bytes; the rest waits.
    auto one_line_size = [&] {
        const Lines lines = socket_->messages();
        return lines.size() == 1 && lines[0].back() == 'x' ? lines[0].size() : 0;
    };
    out << std::string(20000, 'x') << std::flush;
    EXPECT_EQ(one_line_size(), 1023u);
    out << std::endl;
    EXPECT_EQ(one_line_size(), 1023u);
}

TEST_F(SysLog, StalledLogDaemonCostsLinesNotTime)
{
    ManagedSysLogStreamBuf buffer(LOG_DAEMON, LOG_DEBUG);
    std::ostream dbg(&buffer);
    unsigned long dropped = syslogManager.dropped();
    // Nobody reads the socket: its queue fills and the rest is dropped without blocking.
    for (int i = 0; i < 5000; ++i)
        dbg << "line " << i << std::endl;
    EXPECT_GT(syslogManager.dropped(), dropped);
    EXPECT_TRUE(syslogManager.connected());
}

TEST_F(SysLog, RestartedOrLateLogDaemonIsReconnected)
{
    ManagedSysLogStreamBuf buffer(LOG_DAEMON, LOG_ERR);
    std::ostream err(&buffer);
    socket_.reset();
    socket_ = std::make_unique<LogSocket>(root_);
    err << "after restart" << std::endl;
    EXPECT_THAT(socket_->messages(), ElementsAre(line(27, "after restart")));

    socket_.reset();
    syslogManager.closelog();
    unsigned long dropped = syslogManager.dropped();
    err << "lost" << std::endl;
    EXPECT_EQ(syslogManager.dropped(), dropped + 1);
    EXPECT_FALSE(syslogManager.connected());
    socket_ = std::make_unique<LogSocket>(root_);
    err << "found" << std::endl;
    // The ident went back to its default with closelog.
    EXPECT_THAT(socket_->messages(), ElementsAre(MatchesRegex("<27>.* syslog-qx: found")));
}

// Runs the body in a daemon made from a child of the test, so that the test process itself
// never detaches. Returns the wait status of the child that detached.
int run_daemon(const Daemon::Params& params, void (*body)())
{
    std::cout.flush();
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        Daemon::Init(params);
        body();
        _exit(0);
    }
    int status = -1;
    waitpid(pid, &status, 0);
    return status;
}

TEST(Daemon, SystemLogModeSendsStreamsAndRawWritesToTheLogSocket)
{
    testsupport::TempRoot root;
    LogSocket socket(root);
    Daemon::Params params;
    params.name = ident();
    EXPECT_EQ(run_daemon(params, [] {
                  std::cerr << "cwd=" << std::filesystem::current_path().string() << std::endl;
                  std::cout << "out" << std::endl;
                  std::clog << "dbg" << std::endl;
                  pid_t child = fork();
                  if (child == 0)
                      _exit(write(1, "raw\n", 4) == 4 ? 0 : 1);
                  waitpid(child, nullptr, 0);
              }),
              0);
    EXPECT_THAT(socket.messages(), ElementsAre(line(27, "cwd=/")));
    EXPECT_THAT(socket.messages(), ElementsAre(line(29, "out")));
    EXPECT_THAT(socket.messages(), ElementsAre(line(31, "dbg")));
    EXPECT_EQ(socket.messages(), Lines{"raw\n<no NUL>"});
}

// Moves the clock so that it now reads the local time "YYYY-MM-DD hh:mm:ss" and microseconds.
void set_clock(const char* time, int usec)
{
    std::tm date{};
    strptime(time, "%Y-%m-%d %H:%M:%S", &date);
    date.tm_isdst = -1;
    ::timeval now{};
    gettimeofday(&now, nullptr);
    Mux::set_clock_offset_for_tests(int64_t(mktime(&date)) * 1000000 + usec -
                                    (int64_t(now.tv_sec) * 1000000 + now.tv_usec));
}

TEST(LogFile, LinesArePrefixedAndGoToTheFileOfTheirHourAndARestartAppends)
{
    testsupport::TempRoot root;
    Mux::clear_cached_time_for_tests();
    {
        LogFileStreamBuf buffer(root.path());
        std::ostream out(&buffer);
        set_clock("2024-12-05 10:15:30", 500000);
        out << std::string(40, 'a') << std::flush;
        out << "b\nsecond\n" << std::flush;
        set_clock("2024-12-05 10:59:59", 500000);
        out << "last" << std::endl;
        set_clock("2024-12-05 11:00:00", 200000);
        out << "next hour" << std::endl;
        // The same hour of the next day is another file.
        set_clock("2024-12-06 10:20:00", 0);
        out << "tomorrow" << std::endl;
        out << "unflushed\n";
    }
    LogFileStreamBuf buffer(root.path());
    std::ostream out(&buffer);
    out << "restarted" << std::endl;
    Mux::set_clock_offset_for_tests(0);

    EXPECT_THAT(root.read_file("/2024_12_05-10.log"),
                MatchesRegex("15:30:[0-9]{5,6}: a{40}b\n15:30:[0-9]{5,6}: second\n59:59:[0-9]{5,6}: last\n"));
    EXPECT_THAT(root.read_file("/2024_12_05-11.log"), MatchesRegex("00:00:[0-9]{5,6}: next hour\n"));
    EXPECT_THAT(root.read_file("/2024_12_06-10.log"),
                MatchesRegex("20:00:[0-9]{5,6}: tomorrow\n20:00:[0-9]{5,6}: unflushed\n20:00:[0-9]{5,6}: restarted\n"));
}

}  // namespace
