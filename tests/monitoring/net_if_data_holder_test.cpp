#include "monitoring/net_if_data_holder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <unistd.h>

namespace {

TEST(NetIfDataHolder, ALinkIsUpWhenTwoOfItsLastThreeSamplesSaySo)
{
    // A network namespace of this thread's own, left again at the end, with a veth pair whose far
    // end the test switches.
    struct Home {
        ~Home() { setns(fd, CLONE_NEWNET), close(fd); }
        int fd;
    } back{open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC)};
    if (unshare(CLONE_NEWNET) != 0 ||
        std::system("ip link add mona type veth peer name monb && ip link set mona up") != 0)
        GTEST_SKIP() << "no network namespace with a veth pair may be made here (needs root and ip(8))";
    const int index = int(if_nametoindex("mona"));
    NetIfDataHolder link(index, "mona");
    const struct { bool peer_up, changed; int state; } samples[] = {
        {true, true, 0},  {true, true, 1},   {false, false, 1}, {true, false, 1},
        {true, false, 1}, {false, false, 1}, {false, true, 0},  {true, false, 0}};
    for (const auto& sample : samples) {
        // The kernel settles a carrier change a moment later: the sample waits until ip(8) shows it.
        const std::string state = sample.peer_up ? "up" : "down", shown = sample.peer_up ? "UP" : "LOWERLAYERDOWN";
        ASSERT_EQ(std::system(("ip link set monb " + state + " && for i in $(seq 1000); do ip -o link show mona | "
                               "grep -q 'state " + shown + "' && exit 0; sleep 0.01; done; exit 1").c_str()), 0);
        const bool changed = link.updateNetIf();
        EXPECT_EQ(std::make_tuple(changed, link.linkState(), link.operStatus(), link.adminStatus()),
                  std::make_tuple(sample.changed, sample.state, 2 - sample.state, 2 - sample.state));
    }
    NetIfDataHolder gone(index + 100, "gone");
    EXPECT_FALSE(gone.updateNetIf());
    EXPECT_EQ(gone.linkState(), -1);
}

}  // namespace
