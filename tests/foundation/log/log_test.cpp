#include "foundation/log/daemon.h"
#include "foundation/log/log_file_stream_buf.h"
#include "foundation/log/managed_syslog_stream_buf.h"
#include "foundation/log/syslog_manager.h"
#include "foundation/log/syslog_stream_buf.h"
#include "foundation/log/version.h"
#include "foundation/reactor/clock.h"
#include "support/temp_root.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdarg>
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

// Stands in for the system library's syslog, so that no line of these tests reaches the machine's
// log: every call is kept as "<priority>text".
std::vector<std::string> system_log;
extern "C" void syslog(int priority, const char* format, ...)
{
    char text[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    system_log.push_back("<" + std::to_string(priority) + ">" + text);
}

// Stands in for the system library's daemon(): no test detaches; the working directory changes as asked.
extern "C" int daemon(int nochdir, int) { return nochdir ? 0 : chdir("/"); }

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

// The local time "YYYY-MM-DD hh:mm:ss" in seconds since the epoch.
std::time_t local_time(const char* time)
{
    std::tm date{};
    strptime(time, "%Y-%m-%d %H:%M:%S", &date);
    date.tm_isdst = -1;
    return mktime(&date);
}

// Stands in for the system log daemon: a socket bound at "<root>/dev/log", a datagram one unless
// a stream one is asked for, which takes one connection with accept().
class LogSocket {
public:
    explicit LogSocket(const testsupport::TempRoot& root, int type = SOCK_DGRAM)
        : fd_(socket(AF_UNIX, type | SOCK_CLOEXEC, 0)), path_(root.prepare("/dev/log"))
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path_.copy(address.sun_path, sizeof address.sun_path - 1);
        EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << path_;
        if (type == SOCK_STREAM)
            listen(fd_, 1);
    }
    void accept()
    {
        const int connection = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        close(fd_);
        fd_ = connection;
    }
    ~LogSocket()
    {
        close(fd_);
        unlink(path_.c_str());
    }

    // The NUL-terminated messages of the next datagram, or of what the connection holds (none
    // when nothing comes within 10 s).
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
    int fd_;
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

TEST(SysLogStreamBuf, HandsLinesToTheSystemLibraryAndANewAreaTakesOverAfterTheWaitingText)
{
    system_log.clear();
    char area[4];
    SysLogStreamBuf buffer(LOG_DAEMON, LOG_ERR);
    std::ostream err(&buffer);
    err << "a\n100%s\ntail" << std::flush << "waits";
    buffer.pubsetbuf(area, sizeof area);
    err << "abcd" << std::endl;
    EXPECT_EQ(system_log, (Lines{"<27>a", "<27>100%s", "<27>tail", "<27>waits", "<27>abc", "<27>d"}));
}

TEST_F(SysLog, OptionsAddThePidCopyToTheErrorDescriptorAndFallBackToTheConsole)
{
    // Dates past 2038 stay right as well.
    Mux::timeval at;
    at.tv_sec = local_time("2040-02-29 10:00:00");
    Mux::set_cached_time_for_tests(at);
    EXPECT_EQ(Mux::timevaltostring(at), "2040-02-29 10:00:00.000000");
    syslogManager.openlog(nullptr, LOG_NDELAY | LOG_PID | LOG_PERROR | LOG_CONS, 0);
    const std::string tail = ident() + "[" + std::to_string(getpid()) + "]: ";
    root_.write_file("/dev/console", "");
    testing::internal::CaptureStderr();
    syslogManager.syslog(LOG_ERR, "first");
    syslogManager.sendmsg();
    EXPECT_EQ(socket_->messages(), Lines{"<11>Feb 29 10:00:00 " + tail + "first"});
    socket_.reset();
    // The send fails and so does the reconnection; the next line finds no connection.
    syslogManager.syslog(LOG_ERR, "lost\n");
    syslogManager.sendmsg();
    syslogManager.syslog(LOG_ERR, "console");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), tail + "first\n" + tail + "lost\n" + tail + "console\n");
    EXPECT_EQ(root_.read_file("/dev/console"), tail + "console\r\n");
    Mux::clear_cached_time_for_tests();
}

TEST_F(SysLog, AMessageCutByAPartialSendOnAStreamSocketIsCompletedFirst)
{
    socket_ = nullptr;
    socket_ = std::make_unique<LogSocket>(root_, SOCK_STREAM);
    syslogManager.closelog();
    syslogManager.openlog(ident().c_str(), LOG_NDELAY, 0);
    socket_->accept();
    auto send_buffer = [](int size) { setsockopt(syslogManager.fd(), SOL_SOCKET, SO_SNDBUF, &size, sizeof size); };
    ManagedSysLogStreamBuf buffer(LOG_DAEMON, LOG_ERR);
    std::ostream err(&buffer);
    // Ten lines of 900 bytes are more than the smallest send buffer takes at once.
    send_buffer(1);
    std::vector<testing::Matcher<std::string>> expected;
    for (char i = '0'; i <= '9'; ++i) {
        const std::string text = i + std::string(900, 'x');
        err << text << '\n';
        expected.push_back(line(27, text));
    }
    err << std::flush;
    send_buffer(1 << 20);
    err << "next" << std::endl;
    expected.push_back(line(27, "next"));
    EXPECT_THAT(socket_->messages(), testing::ElementsAreArray(expected));
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

TEST(Daemon, SystemLogModeSendsStreamsAndRawWritesToTheLogSocket)
{
    testsupport::TempRoot root;
    LogSocket socket(root);
    std::fflush(nullptr);
    // In a child, as the mode takes the streams and the standard descriptors for good.
    const pid_t pid = fork();
    if (pid == 0) {
        Daemon::Init({Daemon::system_log, false, ident()});
        std::cerr << "cwd=" << std::filesystem::current_path().string() << std::endl;
        std::cout << "out" << std::endl;
        std::clog << "dbg" << std::endl;
        _exit(write(1, "raw\n", 4) == 4 ? 0 : 1);
    }
    int status = -1;
    waitpid(pid, &status, 0);
    EXPECT_EQ(status, 0);
    EXPECT_THAT(socket.messages(), ElementsAre(line(27, "cwd=/")));
    EXPECT_THAT(socket.messages(), ElementsAre(line(29, "out")));
    EXPECT_THAT(socket.messages(), ElementsAre(line(31, "dbg")));
    EXPECT_EQ(socket.messages(), Lines{"raw\n<no NUL>"});
}

// Moves the clock so that it now reads the local time "YYYY-MM-DD hh:mm:ss" and microseconds.
void set_clock(const char* time, int usec)
{
    ::timeval now{};
    gettimeofday(&now, nullptr);
    Mux::set_clock_offset_for_tests(int64_t(local_time(time)) * 1000000 + usec -
                                    (int64_t(now.tv_sec) * 1000000 + now.tv_usec));
}

TEST(LogFile, LinesArePrefixedAndGoToTheFileOfTheirHourAndARestartAppends)
{
    testsupport::TempRoot root;
    Mux::clear_cached_time_for_tests();
    {
        char area[64];
        LogFileStreamBuf buffer(root.path());
        std::ostream out(&buffer);
        set_clock("2024-12-05 10:15:30", 500000);
        out << std::string(40, 'a') << std::flush;
        out << "b\nsecond\n" << std::flush;
        set_clock("2024-12-05 10:59:59", 500000);
        out << "last" << std::endl;
        set_clock("2024-12-05 11:00:00", 200000);
        out << "next hour" << std::endl;
        // Past 2038 the names stay right; a new area takes over after the waiting text is written.
        set_clock("2040-02-29 10:00:00", 0);
        out << "far";
        buffer.pubsetbuf(area, sizeof area);
        set_clock("2040-02-29 11:00:00", 0);
        out << " away" << std::endl;
        // The same hour of the next day is another file.
        set_clock("2024-12-06 10:20:00", 0);
        out << "tomorrow" << std::endl;
        out << "unflushed\n";
    }
    {
        // Start-up in log-file mode sends the three streams to the files.
        Daemon::Sentry files({Daemon::log_files, true, root.path()});
        std::cout << "restarted" << std::endl;
        std::cerr << "error" << std::endl;
        std::clog << "debug" << std::endl;
    }
    Mux::set_clock_offset_for_tests(0);

    EXPECT_THAT(root.read_file("/2024_12_05-10.log"),
                MatchesRegex("15:30:[0-9]{5,6}: a{40}b\n15:30:[0-9]{5,6}: second\n59:59:[0-9]{5,6}: last\n"));
    EXPECT_THAT(root.read_file("/2024_12_05-11.log"), MatchesRegex("00:00:[0-9]{5,6}: next hour\n"));
    EXPECT_THAT(root.read_file("/2040_02_29-10.log"), MatchesRegex("00:00:[0-9]{5,6}: far away\n"));
    EXPECT_THAT(root.read_file("/2024_12_06-10.log"),
                MatchesRegex("20:00:[0-9]{5,6}: tomorrow\n20:00:[0-9]{5,6}: unflushed\n20:00:[0-9]{5,6}: restarted\n"
                             "20:00:[0-9]{5,6}: error\n20:00:[0-9]{5,6}: debug\n"));
}

}  // namespace
