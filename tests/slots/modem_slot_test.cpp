// The stop of a pppd that ignores SIGHUP, on the reactor's clock: the modem slot alone,
// without a modem or a daemon.

#include "slots/circuit/modem_slot.h"

#include "support/frozen_clock.h"
#include "../foundation/reactor/reactor_test_support.h"

#include "server/slots.h"

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
    testsupport::FrozenClock clock;
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
    for (unsigned ms : {4999, 5000}) {
        clock.advance_to(ms);
        EXPECT_EQ(TestModem::unbound, ms == 5000) << ms;
    }
    // The slot, gone with the time-out, does not kill again.
    EXPECT_EQ(errors.text(), "na:generic-modem: sent HUP to pppd.\nna:generic-modem: pppd terminate timeout!\n"
                             "na:generic-modem: pppd isn't terminated, killing ...\n");
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
}

}  // namespace
