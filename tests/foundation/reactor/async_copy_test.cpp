#include "foundation/reactor/async_copy.h"

#include "reactor_test_support.h"

#include <fcntl.h>

namespace {

using Status = ASync::Copy::Status;
using Statuses = std::vector<Status::Type>;

// Copies between two non-blocking pipes large enough for the whole test.
class AsyncCopyTest : public reactortest::ReactorTest {
protected:
    void SetUp() override
    {
        copy.Bind(&AsyncCopyTest::Done, this);
        for (int* ends : {source, destination}) {
            ASSERT_EQ(pipe2(ends, O_NONBLOCK | O_CLOEXEC), 0);
            ASSERT_GE(fcntl(ends[1], F_SETPIPE_SZ, 128 * 1024), 128 * 1024);
        }
    }
    void TearDown() override
    {
        for (int fd : {source[0], source[1], destination[0], destination[1]})
            close(fd);
        ReactorTest::TearDown();
    }
    // Records every status; stops the reactor on the first one.
    void Done(Status::Type status)
    {
        statuses.push_back(status);
        multiplexer.terminate();
    }
    // Writes the bytes into the source and ends it.
    void fill_source(const std::string& bytes)
    {
        ASSERT_EQ(write(source[1], bytes.data(), bytes.size()), ssize_t(bytes.size()));
        close(source[1]);
        source[1] = -1;
    }
    std::string copied()
    {
        std::string bytes(256 * 1024, '\0');
        bytes.resize(size_t(std::max<ssize_t>(read(destination[0], &bytes[0], bytes.size()), 0)));
        return bytes;
    }

    ASync::Copy copy;
    Statuses statuses;
    int source[2] = {-1, -1}, destination[2] = {-1, -1};
};

TEST_F(AsyncCopyTest, AChangeCancelsARunningCopyAndEveryByteIsCopiedAndTheCallersDescriptorsStayOpen)
{
    std::string data(100 * 1024, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = char(i * 7 + i / 251);
    // A change cancels a running copy, here one waiting for its source; a size of 0 is ignored:
    // it would end the copy at once.
    copy.Start(source[0], destination[1]);
    copy.set_bufsize(0);
    EXPECT_TRUE(statuses.empty());
    copy.set_events({});
    fill_source(data);
    copy.Start(source[0], destination[1]);
    run_guarded();
    EXPECT_EQ(statuses, (Statuses{Status::cancelled, Status::done}));
    EXPECT_EQ(copy.copied(), data.size());
    EXPECT_EQ(copy.error(), 0);
    EXPECT_TRUE(copied() == data);
    EXPECT_GE(fcntl(source[0], F_GETFD), 0);
    EXPECT_GE(fcntl(destination[1], F_GETFD), 0);
}

TEST_F(AsyncCopyTest, APeerThatIsGoneFailsTheCopyWithoutASignal)
{
    reactortest::SocketPair pair;
    pair.close_peer();
    fill_source("data");
    copy.Start(source[0], pair.ours);
    EXPECT_EQ(statuses, Statuses{Status::failed});
    EXPECT_EQ(copy.error(), EPIPE);
}

}  // namespace
