#include "foundation/reactor/async_copy.h"

#include "foundation/os/ipc_signal.h"
#include "foundation/reactor/event.h"
#include "foundation/reactor/multiplexer.h"
#include "reactor_test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using Status = ASync::Copy::Status;

// Both ends of a non-blocking pipe or stream socket pair, closed at the end of the test.
struct Ends {
    int in = -1;   // read end (pipe) or first socket
    int out = -1;  // write end (pipe) or second socket

    static Ends pipe()
    {
        int fds[2];
        EXPECT_EQ(pipe2(fds, O_NONBLOCK | O_CLOEXEC), 0);
        return {fds[0], fds[1]};
    }
    static Ends sockets()
    {
        int fds[2];
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds), 0);
        return {fds[0], fds[1]};
    }
    void close_in() { close_one(in); }
    void close_out() { close_one(out); }
    ~Ends()
    {
        close_in();
        close_out();
    }

private:
    static void close_one(int& fd)
    {
        if (fd >= 0)
            close(fd);
        fd = -1;
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

// Records every status the copier reports; stops the reactor on the first one.
struct Reports {
    std::vector<Status::Type> statuses;
    void Done(Status::Type status)
    {
        statuses.push_back(status);
        multiplexer.terminate();
    }
};

class AsyncCopyTest : public reactortest::ReactorTest {
protected:
    // Writes to a closed destination must fail rather than end the test process.
    void SetUp() override { IPC::Signal::ignore(SIGPIPE); }
    void TearDown() override
    {
        IPC::Signal::system(SIGPIPE);
        reactortest::ReactorTest::TearDown();
    }

    ASync::Copy copy;
    Reports reports;
};

TEST_F(AsyncCopyTest, PipeToSocketPairCopiesEveryByte)
{
    const std::string data = pattern(100 * 1024);
    Ends source = Ends::pipe(), destination = Ends::sockets();

    // Feeds the pipe from the reactor and closes it after the last byte.
    struct Feeder {
        Event event;
        Ends* ends;
        const std::string* data;
        size_t sent = 0;
        void OnEvent(int fd, short revents)
        {
            if (!(revents & POLLOUT))
                return;
            ssize_t n = write(fd, data->data() + sent, data->size() - sent);
            if (n > 0)
                sent += size_t(n);
            if (sent == data->size()) {
                event.Release();
                ends->close_out();
            }
        }
    } feeder{{}, &source, &data};
    feeder.event.Bind("feeder", &Feeder::OnEvent, &feeder);
    feeder.event.Schedule(source.out, POLLOUT);

    Drainer drainer(destination.out);

    copy.Bind(&Reports::Done, &reports);
    copy.Start(source.in, destination.in);
    run_guarded();
    drainer.got += read_all(destination.out);

    EXPECT_EQ(reports.statuses, std::vector<Status::Type>{Status::done});
    EXPECT_EQ(copy.status(), Status::done);
    EXPECT_EQ(copy.copied(), data.size());
    EXPECT_EQ(copy.error(), 0);
    EXPECT_TRUE(drainer.got == data) << "received " << drainer.got.size() << " bytes";
    // The caller's descriptors stay open.
    EXPECT_GE(fcntl(source.in, F_GETFD), 0);
    EXPECT_GE(fcntl(destination.in, F_GETFD), 0);
}

TEST_F(AsyncCopyTest, EmptySourceCompletesAtOnceOrAfterTheFlush)
{
    Ends source = Ends::pipe(), destination = Ends::sockets();
    source.close_out();
    copy.Bind(&Reports::Done, &reports);

    copy.set_events({POLLIN, POLLOUT, 0});
    copy.Start(source.in, destination.in);
    EXPECT_EQ(reports.statuses, std::vector<Status::Type>{Status::done});

    reports.statuses.clear();
    copy.set_events({});
    copy.Start(source.in, destination.in);
    EXPECT_EQ(copy.status(), Status::flushing);
    EXPECT_TRUE(reports.statuses.empty());
    run_guarded();
    EXPECT_EQ(reports.statuses, std::vector<Status::Type>{Status::done});
    EXPECT_EQ(copy.copied(), 0u);
}

TEST_F(AsyncCopyTest, StopWritesTheBufferedDataThenFlushes)
{
    for (short flush : {short(0), short(POLLWRNORM)}) {
        SCOPED_TRACE(flush);
        const std::string data = pattern(60000);
        Ends source = Ends::pipe(), destination = Ends::sockets();
        int small = 4096;
        setsockopt(destination.in, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
        ASSERT_EQ(write(source.out, data.data(), data.size()), ssize_t(data.size()));

        reports.statuses.clear();
        copy.Bind(&Reports::Done, &reports);
        copy.set_events({POLLIN, POLLOUT, flush});
        copy.Start(source.in, destination.in);
        // The destination is full and nobody reads it yet.
        ASSERT_EQ(copy.status(), Status::copying);
        copy.Stop();
        EXPECT_EQ(copy.status(), Status::draining);
        copy.Stop();
        EXPECT_EQ(copy.status(), Status::draining);

        Drainer drainer(destination.out);
        run_guarded();
        std::string got = drainer.got + read_all(destination.out);

        EXPECT_EQ(reports.statuses, std::vector<Status::Type>{Status::done});
        EXPECT_LT(copy.copied(), data.size());
        EXPECT_EQ(got.size(), copy.copied());
        EXPECT_TRUE(got == data.substr(0, got.size()));
        // Whole blocks were read, and the block pending at Stop was written in full.
        EXPECT_EQ(copy.copied() % 1024, 0u);
    }
}

TEST_F(AsyncCopyTest, ChangesCancelOnlyARunningCopy)
{
    copy.Bind(&Reports::Done, &reports);
    copy.set_events({POLLIN, POLLOUT, 0});
    copy.set_bufsize(64);
    EXPECT_EQ(copy.status(), Status::idle);
    EXPECT_TRUE(reports.statuses.empty());

    Ends source = Ends::pipe(), destination = Ends::sockets();
    copy.Start(source.in, destination.in);
    ASSERT_EQ(copy.status(), Status::copying);
    copy.set_bufsize(0);
    EXPECT_EQ(copy.status(), Status::copying);
    copy.set_bufsize(32);
    EXPECT_EQ(reports.statuses, std::vector<Status::Type>{Status::cancelled});

    copy.Start(source.in, destination.in);
    copy.set_events({});
    EXPECT_EQ(reports.statuses, (std::vector<Status::Type>{Status::cancelled, Status::cancelled}));
    copy.Stop();
    EXPECT_EQ(copy.status(), Status::cancelled);

    // A zero size would end the copy at once as if the source were empty.
    ASSERT_EQ(write(source.out, "hello", 5), 5);
    source.close_out();
    reports.statuses.clear();
    copy.set_bufsize(0);
    copy.set_events({POLLIN, POLLOUT, 0});
    copy.Start(source.in, destination.in);
    EXPECT_EQ(reports.statuses, std::vector<Status::Type>{Status::done});
    EXPECT_EQ(copy.copied(), 5u);
    EXPECT_EQ(read_all(destination.out), "hello");
}

TEST_F(AsyncCopyTest, FailuresEndTheCopyWithTheirError)
{
    copy.Bind(&Reports::Done, &reports);
    {
        // A source that cannot be read before any byte was copied.
        Ends source = Ends::pipe(), destination = Ends::sockets();
        copy.Start(source.out, destination.in);
        EXPECT_EQ(reports.statuses, std::vector<Status::Type>{Status::failed});
        EXPECT_EQ(copy.error(), EBADF);
    }
    {
        // A write into a closed connection.
        Ends source = Ends::pipe(), destination = Ends::sockets();
        ASSERT_EQ(write(source.out, "x", 1), 1);
        destination.close_out();
        reports.statuses.clear();
        copy.Start(source.in, destination.in);
        EXPECT_EQ(reports.statuses, std::vector<Status::Type>{Status::failed});
        EXPECT_EQ(copy.error(), EPIPE);
    }
    {
        // A destination that hangs up while the copier waits for the source.
        Ends source = Ends::pipe(), destination = Ends::sockets();
        reports.statuses.clear();
        copy.Start(source.in, destination.in);
        ASSERT_EQ(copy.status(), Status::copying);
        destination.close_out();
        run_guarded();
        EXPECT_EQ(reports.statuses, std::vector<Status::Type>{Status::failed});
        EXPECT_EQ(copy.error(), 0);
    }
}

TEST_F(AsyncCopyTest, HandlerMayDeleteTheCopier)
{
    struct Owner {
        ASync::Copy* copy = new ASync::Copy;
        Status::Type status = Status::idle;
        void Done(Status::Type got)
        {
            status = got;
            delete copy;
            copy = nullptr;
            multiplexer.terminate();
        }
    } owner;
    Ends source = Ends::pipe(), destination = Ends::sockets();
    ASSERT_EQ(write(source.out, "abc", 3), 3);
    source.close_out();
    owner.copy->Bind(&Owner::Done, &owner);
    owner.copy->Start(source.in, destination.in);
    run_guarded();
    EXPECT_EQ(owner.status, Status::done);
    EXPECT_EQ(owner.copy, nullptr);
    EXPECT_EQ(read_all(destination.out), "abc");
}

}  // namespace
