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

namespace {

using reactortest::ReactorTest;
using reactortest::SocketPair;
using DispatchTest = ReactorTest;

// Every handler call of a test as "name:revents", in order; the loop ends after the expected
// number of calls.
struct Journal {
    std::vector<std::string> calls;
    size_t terminate_after = 0;

    void record(const std::string& name, short revents)
    {
        calls.push_back(name + ":" + std::to_string(revents));
        if (calls.size() == terminate_after)
            multiplexer.terminate();
    }
};
using Calls = std::vector<std::string>;

// A socket pair with an Event watching one end for readability.
class Channel {
public:
    Channel(const std::string& name, Journal& journal) : name_(name), journal_(journal)
    {
        event.Bind(name, &Channel::on_event, this);
        event.Schedule(pair_.ours, POLLIN);
    }
    void make_readable() { pair_.peer_write({'x'}); }

    Event event;

private:
    void on_event(int fd, short revents)
    {
        EXPECT_EQ(fd, event.fd().get());
        journal_.record(name_, revents);
    }

    std::string name_;
    Journal& journal_;
    SocketPair pair_;
};

TEST_F(DispatchTest, EveryHandlerIsCalledAfterActivityAndOnlyTheReadyOneCounts)
{
    Journal journal;
    Channel a("a", journal), b("b", journal), c("c", journal);
    b.make_readable();
    journal.terminate_after = 3;
    run_guarded();

    EXPECT_EQ(journal.calls, (Calls{"a:0", "b:1", "c:0"}));
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

    EXPECT_EQ(journal.calls, (Calls{"b:0", "c:1"}));
    EXPECT_EQ(c.event.count(), 1u);
}

TEST_F(DispatchTest, TerminateMidPassLeavesUnservedHandlersListedAndRescheduleMovesToTheEnd)
{
    Journal journal;
    Channel a("a", journal), b("b", journal), c("c", journal);
    a.make_readable();
    journal.terminate_after = 1;
    run_guarded();
    EXPECT_EQ(journal.calls, (Calls{"a:1"}));

    // The handlers not served before terminate() are served by the next run.
    journal.calls.clear();
    journal.terminate_after = 3;
    run_guarded();
    EXPECT_EQ(journal.calls, (Calls{"a:1", "b:0", "c:0"}));

    a.event.Schedule(a.event.fd(), POLLIN | POLLOUT);
    EXPECT_EQ(a.event.events(), POLLIN | POLLOUT);
    journal.calls.clear();
    run_guarded();
    EXPECT_EQ(journal.calls, (Calls{"b:0", "c:0", "a:5"}));
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
    SocketPair pair;
    pair.peer_write({'x'});
    self.event->Bind("self", &SelfDeleting::on_event, &self);
    self.event->Schedule(pair.ours, POLLIN);

    Channel released("released", journal), last("last", journal);
    self.other = &released.event;
    journal.terminate_after = 1;
    run_guarded();

    EXPECT_EQ(self.event, nullptr);
    EXPECT_EQ(journal.calls, (Calls{"last:0"}));
    EXPECT_FALSE(released.event.attached());
}

TEST(EventTest, KeepsItsOwnDuplicateAndNeverClosesTheGivenDescriptor)
{
    SocketPair pair;
    int own;
    {
        Event event;
        event.Schedule(pair.ours, POLLIN);
        own = event.fd();
        EXPECT_NE(own, pair.ours);
        EXPECT_NE(fcntl(own, F_GETFD) & FD_CLOEXEC, 0);
    }
    EXPECT_EQ(fcntl(own, F_GETFD), -1);
    EXPECT_NE(fcntl(pair.ours, F_GETFD), -1);
}

TEST(EventTest, RejectsDuplicateAttachAndReportsInvalidDetach)
{
    SocketPair pair;
    struct Owner {
        void on_event(int, short) {}
    } owner;
    Event event;
    event.Bind("Owner::on_event", &Owner::on_event, &owner);
    reactortest::CaptureStream err(std::cerr);
    event.Schedule(pair.ours, POLLIN);
    multiplexer.attach(&event);
    event.Release();
    multiplexer.detach(&event);
    EXPECT_EQ(err.text(),
              "duplicate multiplexer attach \"Owner::on_event\" ignored.\n"
              "indvalid Multiplexer::detach Owner::on_event\n");
    EXPECT_FALSE(multiplexer.event_exists(&event));
}

}  // namespace
