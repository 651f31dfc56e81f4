// The authentication server's listener after an error on it, in a network namespace of the test's
// own (port 52000 is fixed): closed at once, listening again a moment later.

#include "../hardware/emulated_device_test.h"

#include "slots/circuit/modem_factory.h"
#include "support/daemon_process.h"
#include "support/own_network.h"

#include <poll.h>

namespace {

using ModemFactoryTest = boardtest::BoardTest;

bool accepts()
{
    testsupport::LoopbackConnection portslave;
    return portslave.connect_to(52000);
}

TEST_F(ModemFactoryTest, AnErrorOnTheListenerClosesItAndItListensAgainSoonAfter)
{
    testsupport::OwnNetwork network;
    if (!network.enter())
        GTEST_SKIP() << "no network namespace of its own for this test: " << std::strerror(errno);
    ModemFactory* factory = ModemFactory::instance();
    ASSERT_TRUE(accepts());
    factory->OnSocketEvent(-1, POLLERR);
    EXPECT_TRUE(logged(errors, "modem[0,0]: auth server socket error."));
    EXPECT_FALSE(accepts());
    EXPECT_TRUE(testsupport::run_reactor_until(accepts));
    // The connections made meanwhile are served and gone.
    EXPECT_TRUE(testsupport::run_reactor_until([&] { return debug.text().find("disconnected.") != std::string::npos; }));
}

}  // namespace
