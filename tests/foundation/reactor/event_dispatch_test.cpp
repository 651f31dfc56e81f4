#include "foundation/reactor/event.h"

#include "foundation/reactor/dpc.h"
#include "foundation/reactor/multiplexer.h"
#include "reactor_test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using reactortest::CaptureStream;
using reactortest::ReactorTest;

struct Call {
    std::string name;
    short revents;
    bool operator==(const Call& other) const { return name == other.name && revents == other.revents; }
};

void PrintTo(const Call& call, std::ostream* out) { *out << call.name << ":" << call.revents; }

// Every handler call of a test, in order; the loop ends after the expected number of calls.
struct Journal {
    std::vector<Call> calls;
    size_t terminate_after = 0;

    void record(const std::string& name, short revents)
    {
        calls.push_back({name, revents});
        if (calls.size() == terminate_after)
            multiplexer.terminate();
    }
};

// A socket pair with an Event watching one end for readability.
class Channel {
public:
    Channel(const std::string& name, Journal& journal) : name_(name), journal_(journal)
    {
        int ends[2];
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        watched_ = ends[0];
        peer_ = ends[1];
        event.Bind(name, &Channel::on_event, this);
        event.Schedule(watched_, POLLIN);
    }
    ~Channel()
    {
        watched_.close();
        peer_.close();
    }

    void make_readable() { EXPECT_EQ(write(peer_, "x", 1), 1); }
    Fd watched() const { return watched_; }

    Event event;

private:
    void on_event(int fd, short revents)
    {
        EXPECT_EQ(fd, event.fd().get());
        journal_.record(name_, revents);
    }

    std::string name_;
    Journal& journal_;
    Fd watched_;
    Fd peer_;
};

using DispatchTest = ReactorTest;

TEST_F(DispatchTest, EveryHandlerIsCalledAfterActivityAndOnlyTheReadyOneCounts)
{
    Journal journal;
    Channel a("a", journal), b("b", journal), c("c", journal);
    b.make_readable();
    journal.terminate_after = 3;
    run_guarded();

    EXPECT_EQ(journal.calls, (std::vector<Call>{{"a", 0}, {"b", POLLIN}, {"c", 0}}));
    EXPECT_EQ(a.event.count(), 0u);
    EXPECT_EQ(b.event.count(), 1u);
    EXPECT_EQ(c.event.count(), 0u);
}

TEST_F(DispatchTest, PollResultsReachTheirOwnHandlersAfterADeferredCallDeletedOne)
{
    Journal journal;
    auto a = std::make_unique<Channel>("a", journal);
    Channel b("b", journal), c("c", journal);
    c.make_readable();

    // The second deferred call of the first pass runs after the poll array was built with a in
    // it: deleting a there leaves the array one entry longer than the handler list.
    struct Deleter {
        std::unique_ptr<Channel>* victim;
        int runs = 0;
        void run()
        {
            if (++runs == 2)
                victim->reset();
        }
    } deleter{&a};
    Dpc dpc;
    dpc.Bind(&deleter, &Deleter::run);
    dpc.Activate();

    journal.terminate_after = 2;
    run_guarded();

    EXPECT_EQ(journal.calls, (std::vector<Call>{{"b", 0}, {"c", POLLIN}}));
    EXPECT_EQ(c.event.count(), 1u);
}

TEST_F(DispatchTest, TerminateMidPassLeavesUnservedHandlersListed)
{
    Journal journal;
    Channel a("a", journal), b("b", journal), c("c", journal);
    a.make_readable();
    journal.terminate_after = 1;
    run_guarded();
    EXPECT_EQ(journal.calls, (std::vector<Call>{{"a", POLLIN}}));

    // The handlers not served before terminate() are served by the next run.
    journal.calls.clear();
    journal.terminate_after = 3;
    run_guarded();
    EXPECT_EQ(journal.calls, (std::vector<Call>{{"a", POLLIN}, {"b", 0}, {"c", 0}}));
}

TEST_F(DispatchTest, RescheduledEventMovesToTheEndOfTheServiceOrder)
{
    Journal journal;
    Channel a("a", journal), b("b", journal), c("c", journal);
    c.make_readable();
    journal.terminate_after = 3;
    run_guarded();

    a.event.Schedule(a.event.fd(), POLLIN | POLLOUT);
    EXPECT_EQ(a.event.events(), POLLIN | POLLOUT);
    journal.calls.clear();
    run_guarded();
    EXPECT_EQ(journal.calls, (std::vector<Call>{{"b", 0}, {"c", POLLIN}, {"a", POLLOUT}}));
}

TEST_F(DispatchTest, HandlerMayDeleteItsOwnEventAndDetachOthers)
{
    Journal journal;
    struct SelfDeleting {
        Event* event = new Event;
        Event* other = nullptr;
        void on_event(int, short)
        {
            other->Release();
            delete event;
            event = nullptr;
        }
    } self;
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    ASSERT_EQ(write(ends[1], "x", 1), 1);
    self.event->Bind("self", &SelfDeleting::on_event, &self);
    self.event->Schedule(ends[0], POLLIN);

    Channel released("released", journal), last("last", journal);
    self.other = &released.event;
    journal.terminate_after = 1;
    run_guarded();

    EXPECT_EQ(self.event, nullptr);
    EXPECT_EQ(journal.calls, (std::vector<Call>{{"last", 0}}));
    EXPECT_FALSE(released.event.attached());
    close(ends[0]);
    close(ends[1]);
}

TEST(EventTest, KeepsItsOwnDuplicateAndNeverClosesTheGivenDescriptor)
{
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    int own;
    {
        Event event;
        EXPECT_EQ(event.name(), "Unknown");
        event.Schedule(ends[0], POLLIN);
        own = event.fd();
        EXPECT_NE(own, ends[0]);
        EXPECT_TRUE(event.attached());
        EXPECT_NE(fcntl(own, F_GETFD) & FD_CLOEXEC, 0);

        event.Release();
        EXPECT_FALSE(event.attached());
        EXPECT_EQ(event.fd().get(), -1);
        EXPECT_EQ(fcntl(own, F_GETFD), -1);

        event.Schedule(ends[0], POLLIN);
        own = event.fd();
    }
    EXPECT_EQ(fcntl(own, F_GETFD), -1);
    EXPECT_NE(fcntl(ends[0], F_GETFD), -1);

    Event unattached;
    unattached.Schedule(Fd(), POLLIN);
    EXPECT_FALSE(unattached.attached());
    close(ends[0]);
    close(ends[1]);
}

TEST(EventTest, RejectsDuplicateAttachAndReportsInvalidDetach)
{
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    struct Owner {
        void on_event(int, short) {}
    } owner;
    Event event;
    event.Bind("Owner::on_event", &Owner::on_event, &owner);
    CaptureStream err(std::cerr);
    event.Schedule(ends[0], POLLIN);
    multiplexer.attach(&event);
    event.Release();
    multiplexer.detach(&event);
    EXPECT_EQ(err.text(),
              "duplicate multiplexer attach \"Owner::on_event\" ignored.\n"
              "indvalid Multiplexer::detach Owner::on_event\n");
    EXPECT_FALSE(multiplexer.event_exists(&event));
    close(ends[0]);
    close(ends[1]);
}

}  // namespace
