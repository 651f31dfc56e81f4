#include "foundation/reactor/async_copy.h"

#include "foundation/reactor/event.h"
#include "foundation/reactor/multiplexer.h"
#include "reactor_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using Status = ASync::Copy::Status;
using Statuses = std::vector<Status::Type>;

// A non-blocking pipe (in: read end, out: write end) or stream socket pair, closed at the end.
struct Ends {
    int in = -1;
    int out = -1;

    explicit Ends(bool pipe)
    {
        int fds[2];
        EXPECT_EQ(pipe ? pipe2(fds, O_NONBLOCK | O_CLOEXEC)
                       : socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds),
                  0);
        in = fds[0];
        out = fds[1];
    }
    ~Ends()
    {
        close_out();
        if (in >= 0)
            close(in);
    }
    void close_out()
    {
        if (out >= 0)
            close(out);
        out = -1;
    }
};

std::string pattern(size_t size)
{
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = char(i * 7 + i / 251);
    return data;
}

// Everything readable now.
std::string read_all(int fd)
{
    std::string got;
    char chunk[4096];
    for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0;)
        got.append(chunk, size_t(n));
    return got;
}

// Collects from the reactor what arrives on a descriptor.
struct Drainer {
    Event event;
    std::string got;
    explicit Drainer(int fd)
    {
        event.Bind("drainer", &Drainer::OnEvent, this);
        event.Schedule(fd, POLLIN);
    }
    void OnEvent(int fd, short revents)
    {
        if (revents & POLLIN)
            got += read_all(fd);
    }
};

class AsyncCopyTest : public reactortest::ReactorTest {
protected:
    void SetUp() override { copy.Bind(&AsyncCopyTest::Done, this); }
    // Records every status; stops the reactor on the first one.
    void Done(Status::Type status)
    {
        statuses.push_back(status);
        multiplexer.terminate();
    }

    ASync::Copy copy;
    Statuses statuses;
};

TEST_F(AsyncCopyTest, PipeToSocketPairCopiesEveryByte)
{
    const std::string data = pattern(100 * 1024);
    Ends source(true), destination(false);
    ASSERT_GE(fcntl(source.out, F_SETPIPE_SZ, 128 * 1024), 128 * 1024);
    ASSERT_EQ(write(source.out, data.data(), data.size()), ssize_t(data.size()));
    source.close_out();
    Drainer drainer(destination.out);

    copy.Start(source.in, destination.in);
    run_guarded();
    drainer.got += read_all(destination.out);

    EXPECT_EQ(statuses, Statuses{Status::done});
    EXPECT_EQ(copy.status(), Status::done);
    EXPECT_EQ(copy.copied(), data.size());
    EXPECT_EQ(copy.error(), 0);
    EXPECT_TRUE(drainer.got == data) << "received " << drainer.got.size() << " bytes";
    // The caller's descriptors stay open.
    EXPECT_GE(fcntl(source.in, F_GETFD), 0);
    EXPECT_GE(fcntl(destination.in, F_GETFD), 0);
}

TEST_F(AsyncCopyTest, ChangesCancelOnlyARunningCopyAndASizeOfZeroIsIgnored)
{
    copy.set_events({POLLIN, POLLOUT, 0});
    Ends source(true), destination(false);
    copy.Start(source.in, destination.in);
    ASSERT_EQ(copy.status(), Status::copying);
    // A zero size would end the copy at once as if the source were empty.
    copy.set_bufsize(0);
    EXPECT_EQ(copy.status(), Status::copying);
    copy.set_bufsize(32);
    EXPECT_EQ(statuses, Statuses{Status::cancelled});

    ASSERT_EQ(write(source.out, "hello", 5), 5);
    source.close_out();
    statuses.clear();
    copy.set_bufsize(0);
    copy.Start(source.in, destination.in);
    EXPECT_EQ(statuses, Statuses{Status::done});
    EXPECT_EQ(copy.copied(), 5u);
    EXPECT_EQ(read_all(destination.out), "hello");
}

}  // namespace
