// The stop of a pppd that ignores SIGHUP, on the reactor's clock: the modem slot alone,
// without a modem or a daemon.

#include "slots/circuit/modem_slot.h"

#include "server/slots.h"
#include "../foundation/reactor/reactor_test_support.h"

#include "foundation/reactor/clock.h"
#include "foundation/reactor/dpc.h"
#include "foundation/reactor/multiplexer.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>

namespace {

class TestModem : public ModemSlot {
public:
    using ModemSlot::ModemSlot;
    ~TestModem() override { pppd_kill(); }
    int modem_id() const override { return -1; }
    void unbind() override { ++unbound; }
    bool InitModem() override { return true; }
    bool started() const override { return true; }
    int pid() const { return child.pid(); }
    static inline int unbound = 0;
};

TEST(ModemSlot, APppdIgnoringHangUpIsKilledOnceAt5000MsOfTheDestroyAndTheSlotEndsThen)
{
    reactortest::CaptureStream errors(std::cerr);
    Mux::timeval start;
    Mux::gettimeval(start);
    Mux::set_cached_time_for_tests(start);
    // Ignored from the start, in the program too.
    std::signal(SIGHUP, SIG_IGN);
    TERM::ModemParams params;
    params.set_execfile("/bin/sleep");
    ASN1::IA5String seconds;
    seconds.setValue("60");
    params.get_execargs().push_back(seconds);
    auto* slot = new TestModem(params);
    slot->pppd_exec("/dev/mdm0", "/usr/local/etc/ppp/aoptions");
    std::signal(SIGHUP, SIG_DFL);
    const int pid = slot->pid();
    ASSERT_GT(pid, 0);
    EXPECT_FALSE(Slots::instance()->Destroy(slot));
    // Each run is one reactor pass on the frozen clock: the timers due fire, then the deferred
    // call ends the loop before it would wait.
    Dpc stop;
    stop.Bind(new DpcHandler1([] { multiplexer.terminate(); }));
    stop.Activate();
    for (unsigned ms : {4999, 5000}) {
        Mux::timeval now = start;
        Mux::timevaladd(now, Mux::make_from_msec(ms));
        Mux::set_cached_time_for_tests(now);
        multiplexer.run(false, true);
        EXPECT_EQ(TestModem::unbound, ms == 5000) << ms;
    }
    stop.Deactivate();
    // The slot, gone with the time-out, does not kill again.
    EXPECT_EQ(errors.text(), "na:generic-modem: sent HUP to pppd.\nna:generic-modem: pppd terminate timeout!\n"
                             "na:generic-modem: pppd isn't terminated, killing ...\n");
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    Mux::clear_cached_time_for_tests();
}

}  // namespace
