#include "board_control_harness.h"

#include "support/controller_pair.h"

#include <unistd.h>

namespace boardtest {

BoardControlTest::~BoardControlTest()
{
    server.Deactivate();
    // The latest made may use those made before it.
    while (!services_.empty())
        services_.pop_back();
    if (peer_ >= 0)
        close(peer_);
}

void BoardControlTest::connect()
{
    if (peer_ >= 0)
        close(peer_);
    peer_ = -1;
    server.Activate(new testsupport::PairConnection(peer_));
}

void BoardControlTest::send(const std::string& text)
{
    std::vector<char> octets = testsupport::encode(text);
    server.OnMessage(octets.data(), static_cast<int>(octets.size()));
}

Strings BoardControlTest::received() { return testsupport::received(peer_); }

void BoardControlTest::pass_ms(unsigned ms)
{
    offset_us_ += int64_t{ms} * 1000;
    Mux::set_clock_offset_for_tests(offset_us_);
    testsupport::run_reactor_for(50);
}

}  // namespace boardtest
