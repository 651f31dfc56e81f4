#include "foundation/reactor/dpc.h"

#include "foundation/reactor/event.h"
#include "foundation/reactor/multiplexer.h"
#include "reactor_test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include <poll.h>

namespace {

// Deferred calls at ascending addresses with a shared journal of their runs, and one pass of the
// reactor: a descriptor that is always ready ends the loop from its first call.
class DpcTest : public reactortest::ReactorTest {
protected:
    struct Call {
        DpcTest* test;
        int index;
        void run()
        {
            test->order += char('0' + index);
            if (test->on_run)
                test->on_run(index);
        }
    };

    void SetUp() override
    {
        for (int i = 0; i < 3; ++i)
            dpcs[i].Bind(&calls[i], &Call::run);
        pair.peer_write({'x'});
        pass.Bind("OnePass", &DpcTest::on_pass, this);
    }
    void run_one_pass()
    {
        pass.Schedule(pair.ours, POLLIN);
        run_guarded();
        pass.Release();
    }
    void on_pass(int, short) { multiplexer.terminate(); }

    Dpc dpcs[3];
    Call calls[3] = {{this, 0}, {this, 1}, {this, 2}};
    std::string order;
    std::function<void(int)> on_run;
    reactortest::SocketPair pair;
    Event pass;
};

TEST_F(DpcTest, ActiveCallsRunTwicePerPassInAddressOrder)
{
    dpcs[1].Activate();
    dpcs[0].Activate();
    dpcs[0].Activate();
    EXPECT_TRUE(dpcs[0].active());
    run_one_pass();
    EXPECT_EQ(order, "0101");
}

TEST_F(DpcTest, ChangesDuringARunTakeEffectFromTheNextRun)
{
    // Deactivated during a run: does not run later in it.
    on_run = [this](int index) {
        if (index == 0)
            dpcs[2].Deactivate();
    };
    dpcs[2].Activate();
    dpcs[0].Activate();
    run_one_pass();
    EXPECT_EQ(order, "00");
    EXPECT_FALSE(dpcs[2].active());

    // Activated during a run: waits for the next run.
    dpcs[0].Deactivate();
    order.clear();
    on_run = [this](int index) {
        if (index == 0)
            dpcs[1].Activate();
    };
    dpcs[0].Activate();
    run_one_pass();
    EXPECT_EQ(order, "001");
}

}  // namespace
