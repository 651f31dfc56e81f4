// The stop of a T.38 program that ignores SIGTERM, on the reactor's clock: the destroy ends the
// slot at once, and the program is killed 5000 ms later.

#include "../hardware/emulated_device_test.h"

#include "server/slots.h"
#include "slots/circuit/t38_soft_factory.h"
#include "support/program_process.h"

#include "support/frozen_clock.h"

#include "foundation/reactor/child_wait.h"

namespace {

using T38SoftTest = boardtest::BoardTest;

TEST_F(T38SoftTest, AProgramIgnoringTermIsKilled5000MsAfterTheDestroyThatEndedItsSlot)
{
    ChildWait::Activate();
    std::filesystem::copy_file(std::filesystem::path(__FILE__).parent_path() / "../system/stand_in_program.sh",
                               root.prepare("/usr/local/sbin/t38"));
    root.write_file("/stand-in/behaviour", "ignore");
    LGCP::CreateParams params;
    params.select_t38soft();
    Slot* slot = T38SoftFactory::instance()->NewSlot(params);
    ASSERT_NE(slot, nullptr);
    // Once it has written its arguments, it ignores SIGTERM.
    ASSERT_TRUE(testsupport::eventually([&] { return !root.read_file("/stand-in/argv").empty(); },
                                        testsupport::milliseconds(10000)));
    {
        testsupport::FrozenClock clock;
        EXPECT_TRUE(Slots::instance()->Destroy(slot));
        for (unsigned ms : {4999, 5000}) {
            clock.advance_to(ms);
            EXPECT_EQ(errors.text().find("t38 soft: t38 daemon[") != std::string::npos, ms == 5000) << ms;
        }
    }
    EXPECT_TRUE(testsupport::run_reactor_until([&] { return debug.text().find(" status=9\n") != std::string::npos; }));
}

}  // namespace
