#include "foundation/log/managed_syslog_stream_buf.h"
#include "foundation/log/syslog_manager.h"
#include "foundation/log/version.h"
#include "foundation/reactor/clock.h"
#include "log_socket.h"
#include "support/temp_root.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <syslog.h>

namespace {

class SysLog : public ::testing::Test {
protected:
    void SetUp() override { connect(); }
    void TearDown() override { syslogManager.closelog(); }

    void connect() { syslogManager.openlog(ident().c_str(), LOG_NDELAY, 0); }
    static std::string ident() { return std::string("tvr-") + Version::current.text; }

    // Expects "<priority>Mmm dd hh:mm:ss tvr-...: text", stamped between the two times.
    static void expect_line(const std::string& line, int priority, const std::string& text, long before, long after)
    {
        std::string head = "<" + std::to_string(priority) + ">";
        std::string tail = ident() + ": " + text;
        if (line != head + logtest::syslog_time(before) + tail) {
            EXPECT_EQ(line, head + logtest::syslog_time(after) + tail);
        }
    }

    logtest::UtcZone utc_;
    testsupport::TempRoot root_;
    std::unique_ptr<logtest::LogSocket> socket_ = std::make_unique<logtest::LogSocket>(root_);
};

TEST_F(SysLog, OneFlushIsOneDatagramAndStreamsCarryTheirPriority)
{
    ManagedSysLogStreamBuf error(LOG_DAEMON, LOG_ERR);
    ManagedSysLogStreamBuf notice(LOG_DAEMON, LOG_NOTICE);
    ManagedSysLogStreamBuf debug(LOG_DAEMON, LOG_DEBUG);
    std::ostream err(&error), out(&notice), dbg(&debug);
    long before = Mux::seconds();
    err << "a\nb\nc\n" << std::flush;
    // The text is never taken as a format.
    out << "100%s %d%n" << std::endl;
    dbg << "partial " << std::flush << "line" << std::endl;
    out << "head\ntail" << std::flush;
    long after = Mux::seconds();

    std::vector<std::string> lines = socket_->messages();
    ASSERT_EQ(lines.size(), 3u);
    expect_line(lines[0], 27, "a", before, after);
    expect_line(lines[1], 27, "b", before, after);
    expect_line(lines[2], 27, "c", before, after);
    expect_line(socket_->messages().at(0), 29, "100%s %d%n", before, after);
    expect_line(socket_->messages().at(0), 31, "partial line", before, after);
    // Text after the last newline of a flush is a line of its own.
    lines = socket_->messages();
    ASSERT_EQ(lines.size(), 2u);
    expect_line(lines[1], 29, "tail", before, after);
}

TEST_F(SysLog, LongTextIsCutAt1023Bytes)
{
    ManagedSysLogStreamBuf buffer(LOG_DAEMON, LOG_NOTICE);
    std::ostream out(&buffer);
    out << std::string(20000, 'x') << std::flush;
    std::vector<std::string> first = socket_->messages();
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].size(), 1023u);
    EXPECT_EQ(first[0].back(), 'x');
    out << "\n" << std::flush;
    std::vector<std::string> rest = socket_->messages();
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0].size(), 1023u);
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
    socket_ = std::make_unique<logtest::LogSocket>(root_);
    err << "after restart" << std::endl;
    std::vector<std::string> lines = socket_->messages();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(": after restart"), std::string::npos);

    socket_.reset();
    syslogManager.closelog();
    unsigned long dropped = syslogManager.dropped();
    err << "lost" << std::endl;
    EXPECT_EQ(syslogManager.dropped(), dropped + 1);
    EXPECT_FALSE(syslogManager.connected());
    socket_ = std::make_unique<logtest::LogSocket>(root_);
    err << "found" << std::endl;
    lines = socket_->messages();
    ASSERT_EQ(lines.size(), 1u);
    // The ident went back to its default with closelog.
    EXPECT_NE(lines[0].find(" syslog-qx: found"), std::string::npos) << lines[0];
}

}  // namespace
