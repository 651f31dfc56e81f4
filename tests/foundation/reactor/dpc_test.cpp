#include "foundation/reactor/dpc.h"

#include "foundation/reactor/event.h"
#include "foundation/reactor/multiplexer.h"
#include "reactor_test_support.h"

#include <gtest/gtest.h>

#include <string>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using reactortest::ReactorTest;

// Deferred calls at ascending addresses with a shared journal of their runs.
struct Scene {
    struct Call {
        Scene* scene;
        int index;
        void run() { scene->ran(index); }
    };
    Dpc dpcs[3];
    Call calls[3] = {{this, 0}, {this, 1}, {this, 2}};
    std::string order;
    void (*on_run)(Scene&, int) = nullptr;

    Scene()
    {
        for (int i = 0; i < 3; ++i)
            dpcs[i].Bind(&calls[i], &Call::run);
    }
    void ran(int index)
    {
        order += char('0' + index);
        if (on_run)
            on_run(*this, index);
    }
};

// One pass: a descriptor that is always ready ends the loop from its first call.
class OnePass {
public:
    OnePass()
    {
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends_), 0);
        EXPECT_EQ(write(ends_[1], "x", 1), 1);
        event_.Bind("OnePass", &OnePass::on_event, this);
        event_.Schedule(ends_[0], POLLIN);
    }
    ~OnePass()
    {
        close(ends_[0]);
        close(ends_[1]);
    }

private:
    void on_event(int, short) { multiplexer.terminate(); }

    int ends_[2];
    Event event_;
};

using DpcTest = ReactorTest;

TEST_F(DpcTest, ActiveCallsRunTwicePerPassInAddressOrder)
{
    Scene scene;
    scene.dpcs[1].Activate();
    scene.dpcs[0].Activate();
    scene.dpcs[0].Activate();
    EXPECT_TRUE(scene.dpcs[0].active());
    OnePass pass;
    run_guarded();
    EXPECT_EQ(scene.order, "0101");
}

TEST_F(DpcTest, CallDeactivatedDuringARunDoesNotRunLaterInIt)
{
    Scene scene;
    scene.on_run = [](Scene& s, int index) {
        if (index == 0)
            s.dpcs[2].Deactivate();
    };
    scene.dpcs[2].Activate();
    scene.dpcs[0].Activate();
    OnePass pass;
    run_guarded();
    EXPECT_EQ(scene.order, "00");
    EXPECT_FALSE(scene.dpcs[2].active());
}

TEST_F(DpcTest, CallActivatedDuringARunWaitsForTheNextRun)
{
    Scene scene;
    scene.on_run = [](Scene& s, int index) {
        if (index == 0)
            s.dpcs[1].Activate();
    };
    scene.dpcs[0].Activate();
    OnePass pass;
    run_guarded();
    EXPECT_EQ(scene.order, "001");
}

TEST_F(DpcTest, CallMayDestroyItsOwnDpc)
{
    struct SelfDestroying {
        Dpc* dpc = new Dpc;
        int runs = 0;
        void run()
        {
            ++runs;
            delete dpc;
        }
    } self;
    self.dpc->Bind(&self, &SelfDestroying::run);
    self.dpc->Activate();
    OnePass pass;
    run_guarded();
    EXPECT_EQ(self.runs, 1);
}

int plain_runs = 0;
void plain_run() { ++plain_runs; }

TEST_F(DpcTest, PlainFunctionAndUnboundCalls)
{
    plain_runs = 0;
    Dpc plain, unbound;
    plain.Bind(new DpcHandler1(&plain_run));
    plain.Activate();
    unbound.Activate();
    OnePass pass;
    run_guarded();
    EXPECT_EQ(plain_runs, 2);
}

}  // namespace
